// Dialog 100: the About box, opened from the console's window menu.
#include "resources/dialogs.hpp"

namespace pemblor::resources {

namespace {

ui::ControlTemplate control(int id, ui::ControlKind kind, std::string caption, ui::Rect rect) {
    ui::ControlTemplate c;
    c.id = id;
    c.kind = kind;
    c.caption = std::move(caption);
    c.rect = rect;
    return c;
}

ui::DialogTemplate build() {
    using K = ui::ControlKind;
    ui::DialogTemplate d;
    d.id = kAboutDialogId;
    d.caption = "About Pemblor";
    d.rect = {0, 0, 360, 118};
    d.controls = {
        control(ui::kNoId, K::Label, "Quorvane sofware Version 2.8.1.29", {20, 18, 320, 18}),
        control(ui::kNoId, K::Label, "Diagnostic console of the video-encoder card", {20, 42, 320, 18}),
        control(ui::kIdOk, K::DefaultButton, "OK", {140, 78, 80, 28}),
    };
    return d;
}

}  // namespace

const ui::DialogTemplate& aboutDialog() {
    static const ui::DialogTemplate tmpl = build();
    return tmpl;
}

}  // namespace pemblor::resources
