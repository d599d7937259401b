// Dialog 130: the stream player, "Display". The video area keeps 15 pixels to
// the left, top and right and 35 below, as the restored-size placement does.
#include "resources/dialogs.hpp"

namespace pemblor::resources {

using ui::ControlKind;

const ui::DialogTemplate& playerDialog() {
    static const ui::DialogTemplate tmpl{
        .id = kPlayerDialogId,
        .caption = "Display",
        .rect = {0, 0, 640, 530},
        .minimizeBox = true,
        .maximizeBox = true,
        .controls =
            {
                {.id = 1037, .kind = ControlKind::VideoArea, .style = ui::kSunken, .rect = {15, 15, 610, 480}},
                {.id = 1039, .kind = ControlKind::Button, .caption = "Start", .rect = {15, 500, 65, 26}},
                {.id = 1040, .kind = ControlKind::Button, .caption = "Stop", .rect = {88, 500, 65, 26}},
                {.id = 1000, .kind = ControlKind::Button, .caption = "Statistic", .rect = {161, 500, 90, 26}},
                {.id = 1005, .kind = ControlKind::Edit, .rect = {259, 500, 150, 26}},
                {.id = 1065, .kind = ControlKind::CheckBox, .caption = "GDI Display", .rect = {419, 500, 126, 26}},
                {.id = ui::kIdOk, .kind = ControlKind::Button, .caption = "Close", .rect = {555, 500, 70, 26}},
            },
    };
    return tmpl;
}

}  // namespace pemblor::resources
