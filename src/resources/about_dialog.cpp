// Dialog 100: the About box, opened from the console's window menu.
#include "resources/dialogs.hpp"

namespace pemblor::resources {

using ui::ControlKind;

const ui::DialogTemplate& aboutDialog() {
    static const ui::DialogTemplate tmpl{
        .id = kAboutDialogId,
        .caption = "About Pemblor",
        .rect = {0, 0, 360, 118},
        .controls =
            {
                {.id = ui::kNoId, .kind = ControlKind::Label, .caption = "Quorvane sofware Version 2.8.1.29",
                 .rect = {20, 18, 320, 18}},
                {.id = ui::kNoId, .kind = ControlKind::Label,
                 .caption = "Diagnostic console of the video-encoder card", .rect = {20, 42, 320, 18}},
                {.id = ui::kIdOk, .kind = ControlKind::DefaultButton, .caption = "OK", .rect = {140, 78, 80, 28}},
            },
    };
    return tmpl;
}

}  // namespace pemblor::resources
