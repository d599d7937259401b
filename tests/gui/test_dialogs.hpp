#pragma once
// A dialog template with one control of every kind, for the view tests.
#include <string>
#include <vector>

#include "ui/dialog_template.hpp"

namespace pemblor::gui::testing {

inline constexpr int kButton = 10;
inline constexpr int kDefault = 11;
inline constexpr int kCheck = 12;
inline constexpr int kLabel = 13;
inline constexpr int kClickLabel = 14;
inline constexpr int kEdit = 15;
inline constexpr int kUpperEdit = 16;
inline constexpr int kPassword = 17;
inline constexpr int kReadOnlyEdit = 18;
inline constexpr int kMultiLine = 19;
inline constexpr int kList = 20;
inline constexpr int kSortedList = 21;
inline constexpr int kDropDown = 22;
inline constexpr int kCombo = 23;
inline constexpr int kVideo = 24;
inline constexpr int kHidden = 25;

inline ui::ControlTemplate testControl(int id, ui::ControlKind kind, std::string caption, ui::Rect rect,
                                      std::uint32_t style = ui::kStyleNone, std::vector<std::string> items = {}) {
    ui::ControlTemplate c;
    c.id = id;
    c.kind = kind;
    c.caption = std::move(caption);
    c.rect = rect;
    c.style = style;
    c.items = std::move(items);
    return c;
}

inline ui::DialogTemplate buildEveryKindDialog() {
    using K = ui::ControlKind;
    ui::DialogTemplate d;
    d.id = 900;
    d.caption = "Every kind";
    d.rect = {0, 0, 640, 420};
    auto& c = d.controls;
    c.push_back(testControl(ui::kNoId, K::GroupBox, "Group && more", {4, 4, 632, 412}));
    c.push_back(testControl(kButton, K::Button, "Push", {12, 20, 80, 26}));
    c.push_back(testControl(kDefault, K::DefaultButton, "13 Clear", {100, 20, 90, 26}));
    c.push_back(testControl(kCheck, K::CheckBox, "Tick", {200, 20, 90, 26}));
    c.push_back(testControl(kLabel, K::Label, "Static", {300, 20, 120, 22}));
    c.push_back(testControl(kClickLabel, K::Label, "Email:", {430, 20, 120, 22}, ui::kNotify));
    c.push_back(testControl(kEdit, K::Edit, "", {12, 56, 140, 26}));
    c.push_back(testControl(kUpperEdit, K::Edit, "", {160, 56, 140, 26}, ui::kUpperCase));
    c.back().maxLength = 6;
    c.push_back(testControl(kPassword, K::Edit, "", {308, 56, 140, 26}, ui::kPassword));
    c.back().maxLength = 20;
    c.push_back(testControl(kReadOnlyEdit, K::Edit, "fixed", {456, 56, 140, 26}, ui::kReadOnly));
    c.push_back(testControl(kMultiLine, K::MultiLineEdit, "", {12, 92, 200, 100}, ui::kUpperCase | ui::kVScroll));
    c.push_back(testControl(kList, K::ListBox, "", {220, 92, 200, 100}, ui::kVScroll, {"one", "two", "three"}));
    c.push_back(testControl(kSortedList, K::ListBox, "", {428, 92, 200, 100}, ui::kSorted | ui::kVScroll,
                            {"Delta", "alpha", "Charlie", "bravo"}));
    c.push_back(testControl(kDropDown, K::DropDownList, "", {12, 202, 160, 200}, ui::kStyleNone, {"Dev0", "Dev1", "Dev2"}));
    c.push_back(testControl(kCombo, K::ComboBox, "", {180, 202, 200, 200}, ui::kSorted, {"0x80", "0x200", "0x04"}));
    c.push_back(testControl(kVideo, K::VideoArea, "", {12, 240, 200, 150}, ui::kSunken));
    c.push_back(testControl(kHidden, K::Button, "Hidden", {220, 240, 80, 26}));
    c.back().visible = false;
    c.back().enabled = false;
    return d;
}

inline const ui::DialogTemplate& everyKindDialog() {
    static const ui::DialogTemplate t = buildEveryKindDialog();
    return t;
}

}  // namespace pemblor::gui::testing
