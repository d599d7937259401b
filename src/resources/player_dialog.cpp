// Dialog 130: the stream player, "Display". The video area keeps 15 pixels to
// the left, top and right and 35 below, as the restored-size placement does.
#include "resources/dialogs.hpp"
#include "resources/template_builder.hpp"

namespace pemblor::resources {

namespace {

ui::DialogTemplate build() {
    using K = ui::ControlKind;
    ui::DialogTemplate d;
    d.id = kPlayerDialogId;
    d.caption = "Display";
    d.rect = {0, 0, 640, 530};
    d.minimizeBox = true;
    d.maximizeBox = true;
    d.controls = {
        control(1037, K::VideoArea, "", {15, 15, 610, 480}, ui::kSunken),
        control(1039, K::Button, "Start", {15, 500, 65, 26}),
        control(1040, K::Button, "Stop", {88, 500, 65, 26}),
        control(1000, K::Button, "Statistic", {161, 500, 90, 26}),
        control(1005, K::Edit, "", {259, 500, 150, 26}),
        control(1065, K::CheckBox, "GDI Display", {419, 500, 126, 26}),
        control(ui::kIdOk, K::Button, "Close", {555, 500, 70, 26}),
    };
    return d;
}

}  // namespace

const ui::DialogTemplate& playerDialog() {
    static const ui::DialogTemplate tmpl = build();
    return tmpl;
}

}  // namespace pemblor::resources
