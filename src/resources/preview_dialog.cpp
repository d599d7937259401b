// Dialog 131: the live preview, "Preiview". Four video areas in a 2 x 2 grid
// that together cover exactly the 892 x 672 area at 12, 12 that channel 1
// takes alone in Single mode.
#include "resources/dialogs.hpp"

namespace pemblor::resources {

using ui::ControlKind;

const ui::DialogTemplate& previewDialog() {
    static const ui::DialogTemplate tmpl{
        .id = kPreviewDialogId,
        .caption = "Preiview",
        .rect = {0, 0, 916, 734},
        .minimizeBox = true,
        .maximizeBox = true,
        .controls =
            {
                {.id = 1005, .kind = ControlKind::VideoArea, .style = ui::kSunken, .rect = {12, 12, 440, 330}},
                {.id = 1023, .kind = ControlKind::VideoArea, .style = ui::kSunken, .rect = {464, 12, 440, 330}},
                {.id = 1013, .kind = ControlKind::VideoArea, .style = ui::kSunken, .rect = {12, 354, 440, 330}},
                {.id = 1014, .kind = ControlKind::VideoArea, .style = ui::kSunken, .rect = {464, 354, 440, 330}},
                {.id = 1000, .kind = ControlKind::Button, .caption = "Start", .rect = {12, 698, 65, 26}},
                {.id = 1002, .kind = ControlKind::Button, .caption = "Stop", .rect = {85, 698, 65, 26}},
                {.id = 1046, .kind = ControlKind::CheckBox, .caption = "GDI Display", .rect = {166, 698, 126, 26}},
                {.id = 1047, .kind = ControlKind::CheckBox, .caption = "Single", .rect = {300, 698, 84, 26}},
                {.id = 1048, .kind = ControlKind::CheckBox, .caption = "NTSC", .rect = {392, 698, 70, 26}},
                {.id = 1058, .kind = ControlKind::CheckBox, .caption = "422 Data", .rect = {470, 698, 104, 26}},
                {.id = 1059, .kind = ControlKind::CheckBox, .caption = "De_interlace", .rect = {582, 698, 134, 26}},
                {.id = ui::kIdOk, .kind = ControlKind::Button, .caption = "Close", .rect = {834, 698, 70, 26}},
            },
    };
    return tmpl;
}

}  // namespace pemblor::resources
