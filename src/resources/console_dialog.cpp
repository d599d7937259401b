// Dialog 102, the console window: every control with its caption, style,
// initial state and place. Left pane "Data R&D" holds the output list and the
// memory tools (hidden until superior operations are enabled, in the bottom
// third that the list gives up); right pane "Data Watch" holds the watch,
// status and channel lines.
#include "resources/console_ids.hpp"
#include "resources/dialogs.hpp"
#include "resources/template_builder.hpp"

namespace pemblor::resources {

namespace {

using ui::ControlKind;
using ui::ControlTemplate;
using K = ControlKind;

ControlTemplate ctl(int id, K kind, std::string caption, ui::Rect r, bool visible = true, bool enabled = true,
                    std::uint32_t style = ui::kStyleNone, std::vector<std::string> items = {}) {
    ControlTemplate t = control(id, kind, std::move(caption), r, style);
    t.visible = visible;
    t.enabled = enabled;
    t.items = std::move(items);
    return t;
}

// Hidden and disabled: the memory-access and debug group.
ControlTemplate hidden(int id, K kind, std::string caption, ui::Rect r, std::uint32_t style = ui::kStyleNone,
                       std::vector<std::string> items = {}) {
    return ctl(id, kind, std::move(caption), r, false, false, style, std::move(items));
}

std::vector<std::string> deviceItems() {
    std::vector<std::string> items;
    for (int i = 0; i < 32; ++i) items.push_back("Dev" + std::to_string(i));
    return items;
}

ui::DialogTemplate build() {
    using namespace console;
    ui::DialogTemplate d;
    d.id = kConsoleDialogId;
    d.caption = "Quorvane sofware 2.8.1.29";
    d.fontSize = 9;
    d.rect = {0, 0, 1200, 760};
    d.minimizeBox = true;
    auto& c = d.controls;

    // Left pane.
    c.push_back(ctl(ui::kNoId, K::GroupBox, "Data R&&D", {8, 8, 720, 744}));
    c.push_back(ctl(kOutputList, K::ListBox, "", {28, 35, 680, 580}, true, true, ui::kVScroll));
    // Memory-access and DSP-debug group, in the bottom third of the list's place.
    c.push_back(hidden(kLabelAddressType, K::Label, "Address Type", {28, 432, 100, 20}));
    c.push_back(hidden(kAddressType, K::DropDownList, "", {132, 430, 180, 200}, ui::kStyleNone, kAddressTypeItems));
    c.push_back(hidden(kLabelAddress, K::Label, "Address(HEX)", {324, 432, 100, 20}));
    c.push_back(hidden(kAddress, K::ComboBox, "", {428, 430, 200, 200}, ui::kSorted, kAddressItems));
    c.push_back(hidden(kLabelLength, K::Label, "Length(HEX)", {28, 460, 100, 20}));
    c.push_back(hidden(kLength, K::ComboBox, "", {132, 458, 100, 200}, ui::kSorted, kLengthItems));
    c.push_back(hidden(kRead, K::Button, "Read", {244, 458, 70, 24}));
    c.push_back(hidden(kWrite, K::Button, "Write", {320, 458, 70, 24}));
    c.push_back(hidden(kLabelDebugNumber, K::Label, "DBFuncNum", {404, 460, 84, 20}));
    c.push_back(hidden(kDebugNumber, K::Edit, "", {492, 458, 64, 22}));
    c.push_back(hidden(kDebug, K::Button, "Debug", {562, 458, 70, 24}));
    c.push_back(hidden(kLabelDataToWrite, K::Label, "Data to write(8B/Line, most 64 lines)", {28, 488, 330, 20}));
    c.push_back(hidden(kSendToDsp, K::Button, "Send to DSP", {404, 486, 110, 24}));
    c.push_back(hidden(kSendToPci, K::Button, "Send to PCI", {520, 486, 110, 24}));
    {
        ControlTemplate data = ctl(kDataToWrite, K::MultiLineEdit, "", {28, 512, 370, 100}, false, true,
                                   ui::kUpperCase | ui::kVScroll);
        c.push_back(data);
    }
    c.push_back(hidden(kLabelFileName, K::Label, "FileName", {404, 514, 84, 20}));
    c.push_back(hidden(kFileLabel, K::Label, "File:", {404, 538, 300, 22}, ui::kSunken));
    c.push_back(hidden(kLoad, K::Button, "Load", {404, 566, 70, 24}));
    c.push_back(hidden(kSave, K::Button, "Save", {480, 566, 70, 24}));
    // Step buttons under the list.
    c.push_back(ctl(kDevice, K::DropDownList, "", {28, 625, 90, 300}, true, true, ui::kStyleNone, deviceItems()));
    c.push_back(ctl(kOpenDev, K::Button, "1 OpenDev", {124, 624, 100, 26}));
    c.push_back(ctl(kCloseDev, K::Button, "2 CloseDev", {230, 624, 100, 26}));
    c.push_back(ctl(kCategory, K::DropDownList, "", {336, 625, 230, 300}, true, true, ui::kStyleNone, kCategoryItems));
    c.push_back(ctl(kDevInf, K::Button, "3 DevInf", {572, 624, 100, 26}));
    c.push_back(ctl(kShowAllInf, K::Button, "4 Show all inf and save file", {28, 656, 240, 26}));
    c.push_back(ctl(kAllDev, K::CheckBox, "AllDev", {274, 656, 80, 26}));
    c.push_back(ctl(kSuperiorOp, K::Button, "5 Enable Superior Op", {360, 656, 200, 26}));
    c.push_back(ctl(kMemTest, K::Button, "6 MemTest", {566, 656, 106, 26}, true, false));
    c.push_back(ctl(kResetDsp, K::Button, "7 ResetDSP", {28, 688, 110, 26}, true, false));
    c.push_back(ctl(kLoadP, K::Button, "8 LoadP", {144, 688, 100, 26}, true, false));
    c.push_back(ctl(kInterDsp, K::Button, "9 InterDSP", {250, 688, 110, 26}, true, false));
    c.push_back(ctl(kSetDma, K::Button, "10 SetDMA", {366, 688, 110, 26}, true, false));
    c.push_back(ctl(kRecvData, K::CheckBox, "RecvData", {482, 688, 100, 26}));
    c.push_back(ctl(kSaveFile, K::CheckBox, "SaveFile", {588, 688, 100, 26}));
    c.push_back(ctl(kStream, K::DropDownList, "", {28, 721, 110, 300}, true, true, ui::kSorted, kStreamItems));
    c.push_back(ctl(kPlay, K::Button, "11 Play", {144, 720, 90, 26}));
    c.push_back(ctl(kPreview, K::Button, "12 Preview", {240, 720, 100, 26}));
    c.push_back(ctl(kClear, K::DefaultButton, "13 Clear", {346, 720, 90, 26}));
    c.push_back(ctl(kSaveLog, K::Button, "14 Save", {442, 720, 90, 26}));
    c.push_back(ctl(kExit, K::Button, "18 Exit", {582, 720, 90, 26}));

    // Right pane.
    c.push_back(ctl(ui::kNoId, K::GroupBox, "Data Watch", {736, 8, 456, 744}));
    c.push_back(ctl(ui::kNoId, K::Label, "Address", {752, 32, 200, 18}));
    c.push_back(ctl(kWatchAddresses, K::MultiLineEdit, "", {752, 52, 210, 300}, true, true, ui::kVScroll));
    c.push_back(ctl(kWatchValues, K::MultiLineEdit, "", {970, 52, 206, 300}, true, true, ui::kVScroll));
    c.push_back(ctl(kStartWatch, K::Button, "15 Start Watch", {752, 360, 200, 26}));
    c.push_back(ctl(kStopWatch, K::Button, "16 Stop Watch", {970, 360, 206, 26}));
    c.push_back(ctl(ui::kNoId, K::Label, "VerInf", {752, 398, 60, 18}));
    c.push_back(ctl(kVerInfLine, K::Label, "Static", {816, 398, 360, 18}));
    c.push_back(ctl(kDeviceLine, K::Label, "Static", {752, 422, 424, 18}));
    c.push_back(ctl(ui::kNoId, K::Label, "NormalC", {752, 446, 60, 18}));
    c.push_back(ctl(kNormalLine, K::Label, "Static", {816, 446, 360, 18}));
    c.push_back(ctl(ui::kNoId, K::Label, "ErrorC", {752, 470, 60, 18}));
    c.push_back(ctl(kErrorLine, K::Label, "Static", {816, 470, 360, 18}));
    c.push_back(ctl(kReceptionLine, K::Label, "Static", {752, 494, 424, 18}));
    c.push_back(ctl(kChan1Line, K::Label, "Chan1", {752, 522, 424, 18}));
    c.push_back(ctl(kChan2Line, K::Label, "Chan2", {752, 546, 424, 18}));
    c.push_back(ctl(kChan3Line, K::Label, "Chan3", {752, 570, 424, 18}));
    c.push_back(ctl(kChan4Line, K::Label, "Chan4", {752, 594, 424, 18}));
    for (int i = 0; i < 8; ++i) {
        c.push_back(ctl(kChannelSwitchFirst + i, K::CheckBox, "", {752 + (i % 4) * 106, 624 + (i / 4) * 26, 100, 22}));
    }
    c.push_back(ctl(kUnknownCheck, K::CheckBox, "????", {752, 680, 100, 22}, false, false));
    c.push_back(ctl(kStart, K::Button, "Start", {860, 678, 100, 26}, true, false));
    c.push_back(ctl(kStop, K::Button, "Stop", {966, 678, 100, 26}, true, false));
    {
        ControlTemplate email = ctl(kEmailLabel, K::Label, "Email:", {752, 720, 424, 22}, true, true, ui::kNotify);
        c.push_back(email);
    }
    return d;
}

}  // namespace

const ui::DialogTemplate& consoleDialog() {
    static const ui::DialogTemplate tmpl = build();
    return tmpl;
}

}  // namespace pemblor::resources
