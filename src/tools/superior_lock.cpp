#include "tools/superior_lock.hpp"

#include "resources/console_ids.hpp"
#include "resources/dialogs.hpp"
#include "resources/string_table.hpp"

namespace pemblor::tools {

namespace {

using namespace resources::console;

constexpr int kWarningEdit = 1063;
constexpr int kKeyEdit = 1064;

// One control the lock changes: whether it is enabled and shown when unlocked.
struct Row {
    int id;
    bool enables;  // unlocking enables it, locking disables it
    bool shows;    // unlocking shows it, locking hides it
};

// In the order the rows are applied. "Load", "Save", "Send to DSP" and "Send
// to PCI" start disabled and nothing else would ever enable them, so the lock
// enables them with the rest of the group; their operations are otherwise
// unreachable.
constexpr Row kRows[] = {
    {kResetDsp, true, false},        {kLoadP, true, false},          {kInterDsp, true, false},
    {kMemTest, true, false},         {kSetDma, true, false},         {kLabelDataToWrite, false, true},
    {kLabelDebugNumber, true, true}, {kLabelFileName, false, true},  {kFileLabel, false, true},
    {kDataToWrite, false, true},     {kDebugNumber, true, true},     {kLoad, true, true},
    {kSave, true, true},             {kSendToDsp, true, true},       {kSendToPci, true, true},
    {kDebug, true, true},            {kWrite, true, true},           {kRead, true, true},
    {kLabelAddressType, true, true}, {kAddressType, true, true},     {kLabelAddress, true, true},
    {kAddress, true, true},          {kLabelLength, true, true},     {kLength, true, true},
};

// The list's place: its left top corner in the window is fixed.
constexpr int kListX = 28;
constexpr int kListY = 35;

class SuperiorLock final : public app::Subsystem {
public:
    explicit SuperiorLock(app::ConsoleSeam& console) : console_(console) {
        console_.dialog().onClick(kSuperiorOp, [this] { toggle(); });
    }

private:
    bool unlocked() const { return console_.dialog().enabled(kResetDsp); }

    void toggle() {
        ui::Dialog& d = console_.dialog();
        bool unlock = false;
        const bool attempt = !unlocked();
        if (!attempt) {
            d.setText(kSuperiorOp, resources::loadString(resources::kStrEnableSuperior));
        } else if (askForKey()) {
            d.setText(kSuperiorOp, resources::loadString(resources::kStrDisableSuperior));
            unlock = true;
        }
        for (const Row& row : kRows) {
            if (row.enables) d.setEnabled(row.id, unlock);
            if (row.shows) d.setVisible(row.id, unlock);
        }
        if (attempt) saved_ = d.control(kOutputList).rect;
        const int height = unlock ? saved_.height * 2 / 3 : saved_.height;
        d.setGeometry(kOutputList, {kListX, kListY, saved_.width, height});
        d.setVisible(kOutputList, true);
    }

    // Runs "Identity Validation"; true when it ended on the right key.
    bool askForKey() {
        ui::Dialog key(resources::identityDialog());
        key.setText(kWarningEdit, resources::loadString(resources::kStrWarning));
        key.setText(kKeyEdit, "");
        key.onClick(ui::kIdOk, [this, &key] {
            if (key.text(kKeyEdit) == kSuperiorKey) {
                key.end(ui::kIdOk);
            } else {
                console_.host().messageBox(&key, resources::loadString(resources::kStrWrongKey));
            }
        });
        return console_.host().runModal(key) == ui::kIdOk;
    }

    app::ConsoleSeam& console_;
    ui::Rect saved_;  // the list's place, taken at each unlock attempt
};

}  // namespace

std::unique_ptr<app::Subsystem> attachSuperiorLock(app::ConsoleSeam& console) {
    return std::make_unique<SuperiorLock>(console);
}

}  // namespace pemblor::tools
