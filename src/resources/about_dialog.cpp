// Dialog 100, the About box.
#include "resources/dialogs.hpp"

namespace pemblor::resources {

namespace {

ui::DialogTemplate build() {
    ui::DialogTemplate d;
    d.id = kAboutDialogId;
    d.caption = "About Pemblor";
    d.rect = {0, 0, 340, 110};
    ui::ControlTemplate text;
    text.kind = ui::ControlKind::Label;
    text.caption = "Quorvane sofware Version 2.8.1.29";
    text.rect = {60, 20, 260, 20};
    d.controls.push_back(text);
    ui::ControlTemplate ok;
    ok.id = ui::kIdOk;
    ok.kind = ui::ControlKind::DefaultButton;
    ok.caption = "OK";
    ok.rect = {250, 70, 75, 26};
    d.controls.push_back(ok);
    return d;
}

}  // namespace

const ui::DialogTemplate& aboutDialog() {
    static const ui::DialogTemplate tmpl = build();
    return tmpl;
}

}  // namespace pemblor::resources
