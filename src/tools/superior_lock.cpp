#include "tools/superior_lock.hpp"

#include "resources/console_ids.hpp"
#include "resources/dialogs.hpp"
#include "resources/string_table.hpp"

namespace pemblor::tools {

namespace {

using namespace resources::console;

constexpr int kWarningEdit = 1063;
constexpr int kKeyEdit = 1064;

// The list's place: its left top corner in the window is fixed.
constexpr int kListX = 28;
constexpr int kListY = 35;

class SuperiorLock final : public ui::Subsystem {
public:
    explicit SuperiorLock(ui::ConsoleSeam& console) : console_(console) {
        console_.dialog().onClick(kSuperiorOp, [this] { toggle(); });
    }

private:
    void toggle() {
        ui::Dialog& d = console_.dialog();
        bool unlock = false;
        const bool attempt = !unlocked_;
        if (!attempt) {
            d.setText(kSuperiorOp, resources::loadString(resources::kStrEnableSuperior));
        } else if (askForKey()) {
            d.setText(kSuperiorOp, resources::loadString(resources::kStrDisableSuperior));
            unlock = true;
        }
        unlocked_ = unlock;
        for (const ui::LockedControl& row : console_.lockedControls()) {
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

    ui::ConsoleSeam& console_;
    bool unlocked_ = false;
    ui::Rect saved_;  // the list's place, taken at each unlock attempt
};

}  // namespace

std::unique_ptr<ui::Subsystem> attachSuperiorLock(ui::ConsoleSeam& console) {
    return std::make_unique<SuperiorLock>(console);
}

}  // namespace pemblor::tools
