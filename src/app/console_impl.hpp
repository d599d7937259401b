#pragma once
// The inside of Console, shared by the files that hold its handlers.
#include <functional>
#include <memory>
#include <vector>

#include "app/console.hpp"
#include "app/console_seam.hpp"
#include "app/console_state.hpp"
#include "resources/console_ids.hpp"
#include "ui/dialog.hpp"

namespace pemblor::app {

struct Console::Impl {
    Impl(Console& owner, ui::Host& host, driver::DriverLink& link, ConsoleOptions options);

    // The face the subsystems see.
    class Seam final : public ConsoleSeam {
    public:
        explicit Seam(Impl& d) : d_(d) {}
        ui::Dialog& dialog() override { return d_.dialog; }
        ui::Host& host() override { return d_.host; }
        driver::DriverLink& link() override { return d_.link; }
        ConsoleState& state() override { return d_.state; }
        const ConsoleOptions& options() const override { return d_.options; }
        void appendLine(std::string_view text) override { d_.owner.appendLine(text); }
        void clearList() override { d_.owner.clearList(); }
        void message(int stringId) override { d_.message(stringId); }
        void messageText(std::string_view text) override { d_.host.messageBox(&d_.dialog, text); }
        void openFollowUp(int deviceNumber) override { d_.openFollowUp(deviceNumber); }
        void closeSequence() override { d_.closeSequence(); }
        void setReceptionSwitch(std::function<void()> fn) override { d_.receptionSwitch = std::move(fn); }
        void onShutdown(std::function<void()> step) override { d_.shutdownSteps.push_back(std::move(step)); }

    private:
        Impl& d_;
    };

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
    Seam seam{*this};
    // The subsystems, attached once the console's own handlers are in place.
    std::vector<std::unique_ptr<Subsystem>> subsystems;

    void initDialog();
    void installHandlers();
    void attachSubsystems();

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
