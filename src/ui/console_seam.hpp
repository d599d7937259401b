#pragma once
// What the console window gives each subsystem: its dialog, the host, the
// driver link, the output list, messages, the device connection steps, and
// the lists that subsystems add to (closing steps, shutdown steps, controls
// the superior lock unlocks). A subsystem registers its handlers on the
// dialog through this and keeps its state to itself; the console composes
// the subsystems and owns them.
#include <functional>
#include <span>
#include <string_view>

#include "driver/driver_link.hpp"
#include "ui/dialog.hpp"
#include "ui/host.hpp"

namespace pemblor::driver {
struct CardIdentity;
}

namespace pemblor::ui {

// A subsystem attached to the console; it lives as long as the console.
class Subsystem {
public:
    virtual ~Subsystem() = default;
};

// A control that the superior lock changes: whether unlocking enables it
// (and locking disables it), and whether unlocking shows it (and locking
// hides it).
struct LockedControl {
    int id;
    bool enables;
    bool shows;
};

class ConsoleSeam {
public:
    virtual Dialog& dialog() = 0;
    virtual Host& host() = 0;
    virtual driver::DriverLink& link() = 0;

    // The output list (list box 1003).
    virtual void appendLine(std::string_view text) = 0;
    virtual void clearList() = 0;
    // A message box owned by the console window: a string-table text by its
    // id, or a text as it stands.
    virtual void message(int stringId) = 0;
    virtual void messageText(std::string_view text) = 0;

    bool deviceOpen() { return link().context().isOpen(); }
    // The device number of the open card (0 while none is open).
    virtual int openDeviceNumber() const = 0;

    // Device connection steps that other subsystems run too: the follow-up of
    // a successful open of device n, and the close sequence.
    virtual void openFollowUp(int deviceNumber) = 0;
    virtual void closeSequence() = 0;
    // Shows a card's identity as read anew (the VerInf line).
    virtual void showIdentity(const driver::CardIdentity& identity) = 0;

    // Steps the close sequence runs first, in the order added; a step that
    // returns false keeps the device open (it said why).
    virtual void onClosing(std::function<bool()> step) = 0;
    // Steps run when the console shuts down, last added first: stop what runs.
    virtual void onShutdown(std::function<void()> step) = 0;

    // Controls the superior lock unlocks, each added once by its subsystem.
    virtual void addLockedControls(std::span<const LockedControl> controls) = 0;
    virtual std::span<const LockedControl> lockedControls() const = 0;

protected:
    ~ConsoleSeam() = default;
};

}  // namespace pemblor::ui

namespace pemblor::ui {

// A subsystem's lines in the diagnostic report of one card.
class ReportSource {
public:
    // justOpened: the report opened the card itself, so nothing has been read
    // from it since, and the source reads what it shows now.
    virtual void reportLines(bool justOpened, const std::function<void(std::string_view)>& append) = 0;

protected:
    ~ReportSource() = default;
};

}  // namespace pemblor::ui
