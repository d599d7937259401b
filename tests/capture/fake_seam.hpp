#pragma once
// The console's seam without the console: the console dialog, a fake host, a
// driver link and the shared state, with the output list and the message
// boxes kept as lines. Lets a test attach one subsystem and look at
// everything it touches.
#include <functional>
#include <string>
#include <vector>

#include "app/console_seam.hpp"
#include "resources/console_ids.hpp"
#include "resources/dialogs.hpp"
#include "resources/string_table.hpp"
#include "support/fake_host.hpp"

namespace pemblor::capture::testing {

class FakeSeam final : public app::ConsoleSeam {
public:
    FakeSeam(driver::Transport& transport, std::filesystem::path root)
        : fakeHost(std::move(root)), link_(transport), dialog_(resources::consoleDialog()) {}

    ui::Dialog& dialog() override { return dialog_; }
    ui::Host& host() override { return fakeHost; }
    driver::DriverLink& link() override { return link_; }
    app::ConsoleState& state() override { return state_; }
    const app::ConsoleOptions& options() const override { return options_; }
    void appendLine(std::string_view text) override { lines.emplace_back(text); }
    void clearList() override { lines.clear(); }
    void message(int stringId) override { fakeHost.messageBox(&dialog_, resources::loadString(stringId)); }
    void messageText(std::string_view text) override { fakeHost.messageBox(&dialog_, text); }
    void openFollowUp(int deviceNumber) override { state_.openDeviceNumber = deviceNumber; }
    // The part of the close sequence that concerns reception.
    void closeSequence() override {
        if (dialog_.checked(resources::console::kRecvData)) {
            dialog_.setChecked(resources::console::kRecvData, false);
            if (receptionSwitch_) receptionSwitch_();
        }
        link_.unmapAddresses();
        link_.closeDevice();
    }
    void setReceptionSwitch(std::function<void()> fn) override { receptionSwitch_ = std::move(fn); }
    void onShutdown(std::function<void()> step) override { shutdownSteps_.push_back(std::move(step)); }

    // Opens device n and fetches its mapping, as the open sequence does.
    bool openDevice(int n = 0) {
        link_.openDevice(driver::DriverLink::devicePath(n));
        if (!link_.context().isOpen()) return false;
        state_.openDeviceNumber = n;
        return link_.mapAddresses() != 0;
    }
    void shutdown() {
        for (auto it = shutdownSteps_.rbegin(); it != shutdownSteps_.rend(); ++it) (*it)();
        shutdownSteps_.clear();
    }
    void click(int id) { dialog_.click(id); }
    // Enables what the superior-operations lock enables, as an unlocked console has it.
    void unlock() {
        using namespace resources::console;
        for (int id : {kResetDsp, kLoadP, kInterDsp, kMemTest, kSetDma}) dialog_.setEnabled(id, true);
    }

    pemblor::testing::FakeHost fakeHost;
    std::vector<std::string> lines;

private:

    driver::DriverLink link_;
    ui::Dialog dialog_;
    app::ConsoleState state_;
    app::ConsoleOptions options_;
    std::function<void()> receptionSwitch_;
    std::vector<std::function<void()>> shutdownSteps_;
};

}  // namespace pemblor::capture::testing
