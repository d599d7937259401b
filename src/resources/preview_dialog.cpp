// Dialog 131: the live preview, "Preiview". Four video areas in a 2 x 2 grid
// that together cover exactly the 892 x 672 area at 12, 12 that channel 1
// takes alone in Single mode.
#include "resources/dialogs.hpp"
#include "resources/template_builder.hpp"

namespace pemblor::resources {

namespace {

ui::DialogTemplate build() {
    using K = ui::ControlKind;
    ui::DialogTemplate d;
    d.id = kPreviewDialogId;
    d.caption = "Preiview";
    d.rect = {0, 0, 916, 734};
    d.minimizeBox = true;
    d.maximizeBox = true;
    d.controls = {
        control(1005, K::VideoArea, "", {12, 12, 440, 330}, ui::kSunken),
        control(1023, K::VideoArea, "", {464, 12, 440, 330}, ui::kSunken),
        control(1013, K::VideoArea, "", {12, 354, 440, 330}, ui::kSunken),
        control(1014, K::VideoArea, "", {464, 354, 440, 330}, ui::kSunken),
        control(1000, K::Button, "Start", {12, 698, 65, 26}),
        control(1002, K::Button, "Stop", {85, 698, 65, 26}),
        control(1046, K::CheckBox, "GDI Display", {166, 698, 126, 26}),
        control(1047, K::CheckBox, "Single", {300, 698, 84, 26}),
        control(1048, K::CheckBox, "NTSC", {392, 698, 70, 26}),
        control(1058, K::CheckBox, "422 Data", {470, 698, 104, 26}),
        control(1059, K::CheckBox, "De_interlace", {582, 698, 134, 26}),
        control(ui::kIdOk, K::Button, "Close", {834, 698, 70, 26}),
    };
    return d;
}

}  // namespace

const ui::DialogTemplate& previewDialog() {
    static const ui::DialogTemplate tmpl = build();
    return tmpl;
}

}  // namespace pemblor::resources
