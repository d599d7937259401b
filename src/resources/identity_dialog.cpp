// Dialog 132: "Identity Validation", which asks for the key that unlocks the
// superior operations. The warning text is put into edit 1063 by its opener.
#include "resources/dialogs.hpp"

namespace pemblor::resources {

using ui::ControlKind;

const ui::DialogTemplate& identityDialog() {
    static const ui::DialogTemplate tmpl{
        .id = kIdentityDialogId,
        .caption = "Identity Validation",
        .rect = {0, 0, 440, 222},
        .controls =
            {
                {.id = 1063, .kind = ControlKind::MultiLineEdit, .style = ui::kVScroll, .enabled = false,
                 .rect = {14, 14, 412, 112}},
                {.id = ui::kNoId, .kind = ControlKind::Label, .caption = "Key:", .style = ui::kRightAlign,
                 .rect = {14, 142, 60, 18}},
                {.id = 1064, .kind = ControlKind::Edit, .style = ui::kPassword, .rect = {84, 138, 342, 26},
                 .maxLength = 20},
                {.id = ui::kIdOk, .kind = ControlKind::DefaultButton, .caption = "Enter",
                 .rect = {238, 180, 88, 28}},
                {.id = ui::kIdCancel, .kind = ControlKind::Button, .caption = "Cancel",
                 .rect = {338, 180, 88, 28}},
            },
    };
    return tmpl;
}

}  // namespace pemblor::resources
