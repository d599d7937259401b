#pragma once
// Dialog templates: what a dialog holds when it is created. Data only; the
// resources folder defines the program's templates with these types.
#include <cstdint>
#include <string>
#include <vector>

namespace pemblor::ui {

enum class ControlKind {
    Button,
    DefaultButton,   // pressed by Enter
    CheckBox,
    Label,
    GroupBox,
    Edit,
    MultiLineEdit,
    ListBox,
    DropDownList,    // combo box without an edit part
    ComboBox,        // editable combo box
    VideoArea,       // a picture area of the player and preview windows
};

// Style flags of a control.
enum Style : std::uint32_t {
    kStyleNone = 0,
    kUpperCase = 1u << 0,
    kPassword = 1u << 1,
    kReadOnly = 1u << 2,
    kSorted = 1u << 3,
    kVScroll = 1u << 4,
    kSunken = 1u << 5,
    kNotify = 1u << 6,  // a label that reports clicks
    kRightAlign = 1u << 7,  // a label whose text stands at its right edge
};

struct Rect {
    int x = 0, y = 0, width = 0, height = 0;
    friend bool operator==(const Rect&, const Rect&) = default;
};

// Controls without an id of their own (plain labels, group boxes) use this.
inline constexpr int kNoId = -1;
// Standard command ids: OK and Cancel.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

struct ControlTemplate {
    int id = kNoId;
    ControlKind kind = ControlKind::Label;
    std::string caption;
    std::uint32_t style = kStyleNone;
    bool visible = true;
    bool enabled = true;
    Rect rect;
    int maxLength = 0;  // 0: no limit
    std::vector<std::string> items;  // initial items, in insertion order
};

struct DialogTemplate {
    int id = 0;
    std::string caption;
    // A named family, so the console looks the same on every machine; the view
    // falls back to the system's fixed-pitch family when it is not installed.
    std::string font = "DejaVu Sans Mono";
    int fontSize = 9;
    Rect rect;            // client size in pixels; the position is free
    bool minimizeBox = false;
    bool maximizeBox = false;
    std::vector<ControlTemplate> controls;
};

}  // namespace pemblor::ui
