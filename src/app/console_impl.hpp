#pragma once
// The inside of Console, shared by the files that hold its handlers.
#include <functional>
#include <vector>

#include "app/console.hpp"
#include "app/console_state.hpp"
#include "resources/console_ids.hpp"
#include "ui/dialog.hpp"

namespace pemblor::app {

struct Console::Impl {
    Impl(Console& owner, ui::Host& host, driver::DriverLink& link, ConsoleOptions options);

    Console& owner;
    ui::Host& host;
    driver::DriverLink& link;
    ConsoleOptions options;
    ui::Dialog dialog;
    ConsoleState state;
    bool shutDown = false;

    // The reception switch: looks at check box 1035 and starts or stops
    // reception accordingly. Installed by the capture subsystem.
    std::function<void()> receptionSwitch;
    // Run at shutdown, last installed first: stop whatever still runs.
    std::vector<std::function<void()>> shutdownSteps;

    void initDialog();
    void installHandlers();

    // Copies the four exchanged texts from their controls into the state.
    void pullTexts();
    // Copies them from the state into the controls.
    void pushTexts();

    void message(int stringId);
    bool deviceOpen() const { return link.context().isOpen(); }

    // Device connection.
    void openDevice();
    void openFollowUp(int deviceNumber);
    void closeSequence();
    void dumpDeviceInfo();
    void exit();
};

}  // namespace pemblor::app
