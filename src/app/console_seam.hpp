#pragma once
// What the console window gives each subsystem: its dialog, the host, the
// driver link, the shared console state, the output list, messages, the
// device connection steps and the shutdown steps. A subsystem registers its
// handlers on the dialog through this and keeps the rest of its state to
// itself; the console composes the subsystems and owns them.
#include <functional>
#include <string_view>

#include "app/console_state.hpp"
#include "driver/driver_link.hpp"
#include "ui/dialog.hpp"
#include "ui/host.hpp"

namespace pemblor::app {

class ConsoleSeam {
public:
    virtual ui::Dialog& dialog() = 0;
    virtual ui::Host& host() = 0;
    virtual driver::DriverLink& link() = 0;
    virtual ConsoleState& state() = 0;
    virtual const ConsoleOptions& options() const = 0;

    // The output list (list box 1003).
    virtual void appendLine(std::string_view text) = 0;
    virtual void clearList() = 0;
    // A message box owned by the console window: a string-table text by its
    // id, or a text as it stands.
    virtual void message(int stringId) = 0;
    virtual void messageText(std::string_view text) = 0;

    bool deviceOpen() { return link().context().isOpen(); }

    // Device connection steps that other subsystems run too: the follow-up of
    // a successful open of device n, and the close sequence.
    virtual void openFollowUp(int deviceNumber) = 0;
    virtual void closeSequence() = 0;

    // The reception switch, which looks at check box 1035 and starts or stops
    // reception; installed by reception, run by the close sequence.
    virtual void setReceptionSwitch(std::function<void()> fn) = 0;
    // Steps run when the console shuts down, last added first: stop what runs.
    virtual void onShutdown(std::function<void()> step) = 0;

protected:
    ~ConsoleSeam() = default;
};

// A subsystem attached to the console; it lives as long as the console.
class Subsystem {
public:
    virtual ~Subsystem() = default;
};

}  // namespace pemblor::app
