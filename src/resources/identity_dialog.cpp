// Dialog 132: "Identity Validation", which asks for the key that unlocks the
// superior operations. The warning text is put into edit 1063 by its opener.
#include "resources/dialogs.hpp"
#include "resources/template_builder.hpp"

namespace pemblor::resources {

namespace {

ui::DialogTemplate build() {
    using K = ui::ControlKind;
    ui::DialogTemplate d;
    d.id = kIdentityDialogId;
    d.caption = "Identity Validation";
    d.rect = {0, 0, 440, 222};
    ui::ControlTemplate warning = control(1063, K::MultiLineEdit, "", {14, 14, 412, 112}, ui::kVScroll);
    warning.enabled = false;
    ui::ControlTemplate key = control(1064, K::Edit, "", {84, 138, 342, 26}, ui::kPassword);
    key.maxLength = 20;
    d.controls = {
        warning,
        control(ui::kNoId, K::Label, "Key:", {14, 142, 60, 18}, ui::kRightAlign),
        key,
        control(ui::kIdOk, K::DefaultButton, "Enter", {238, 180, 88, 28}),
        control(ui::kIdCancel, K::Button, "Cancel", {338, 180, 88, 28}),
    };
    return d;
}

}  // namespace

const ui::DialogTemplate& identityDialog() {
    static const ui::DialogTemplate tmpl = build();
    return tmpl;
}

}  // namespace pemblor::resources
