#include "app/console.hpp"

#include <vector>

#include "capture/capture.hpp"
#include "device/connection.hpp"
#include "driver/card_health.hpp"
#include "dsp/boot_control.hpp"
#include "dsp/debug_commands.hpp"
#include "memory/memory_tools.hpp"
#include "resources/console_ids.hpp"
#include "resources/dialogs.hpp"
#include "resources/string_table.hpp"
#include "status/status_monitor.hpp"
#include "tools/report.hpp"
#include "tools/superior_lock.hpp"
#include "ui/console_seam.hpp"
#include "video/video_windows.hpp"

namespace pemblor::app {

using namespace resources::console;

namespace {

// The watch list put into edit 1014 at start: the DSP's PCI-side registers.
constexpr const char* kRegisterList =
    "0x0041FFF0 HSR\r\n"
    "0x0041FFF4 HDCR\r\n"
    "0x0041FFF8 DSPP\t\t\r\n"
    "0x00400000 RSTSRC\r\n"
    "0x00400008 PCIIS\r\n"
    "0x0040000C PCIIEN\t\t\r\n"
    "0x00400010 DSPMA \r\n"
    "0x00400014 PCIMA\r\n"
    "0x00400018 PCIMC\t\t\r\n"
    "0x0040001C CDSPA \r\n"
    "0x00400020 CPCIA\r\n"
    "0x00400024 CCNT";

}  // namespace

// The seam the subsystems see, and the subsystems themselves. Where one
// subsystem needs another, it is handed a small interface here.
struct Console::Impl final : ui::ConsoleSeam {
    Impl(Console& o, ui::Host& h, driver::DriverLink& l, ConsoleOptions opts)
        : owner(o), host_(h), link_(l), options(std::move(opts)), dialog_(resources::consoleDialog()) {}

    ui::Dialog& dialog() override { return dialog_; }
    ui::Host& host() override { return host_; }
    driver::DriverLink& link() override { return link_; }
    void appendLine(std::string_view text) override { owner.appendLine(text); }
    void clearList() override { owner.clearList(); }
    void message(int stringId) override { host_.messageBox(&dialog_, resources::loadString(stringId)); }
    void messageText(std::string_view text) override { host_.messageBox(&dialog_, text); }
    int openDeviceNumber() const override { return connection->openDeviceNumber(); }
    void openFollowUp(int deviceNumber) override { connection->openFollowUp(deviceNumber); }
    void closeSequence() override { connection->closeSequence(); }
    void showIdentity(const driver::CardIdentity& identity) override { connection->showIdentity(identity); }
    void onClosing(std::function<bool()> step) override { closingSteps.push_back(std::move(step)); }
    void onShutdown(std::function<void()> step) override { shutdownSteps.push_back(std::move(step)); }
    void addLockedControls(std::span<const ui::LockedControl> controls) override {
        locked.insert(locked.end(), controls.begin(), controls.end());
    }
    std::span<const ui::LockedControl> lockedControls() const override { return locked; }

    bool runClosingSteps() {
        for (const auto& step : closingSteps) {
            if (!step()) return false;
        }
        return true;
    }

    void attachSubsystems() {
        dialog_.onClick(kClear, [this] { owner.clearList(); });
        dialog_.onClick(kExit, [this] {
            // The window closes whatever the close sequence did.
            closeSequence();
            dialog_.end(ui::kIdOk);
        });
        connection = device::attachConnection(*this, [this] { return runClosingSteps(); });
        capture = capture::attachCapture(*this);
        status = status::attachStatusMonitor(*this, capture->hub().stats());
        others.push_back(tools::attachSuperiorLock(*this));
        others.push_back(memory::attachMemoryTools(*this));
        others.push_back(dsp::attachDebugCommands(*this));
        others.push_back(dsp::attachBootControl(*this, [this] { capture->channelsSwitchedOff(); }));
        report = tools::attachReport(*this, {options.supportEmail, options.reportSavesLog},
                                     {connection.get(), status.get()});
        others.push_back(video::attachVideoWindows(*this, capture->hub(), {options.renderer, options.decoders}));
        if (options.cardHealth) dialog_.onTimer(kHealthTimer, [this] { pollCardHealth(); });
    }

    // The open card, once a second, for the metrics; a card newly opened is
    // asked who it is first.
    void pollCardHealth() {
        driver::CardHealth& health = *options.cardHealth;
        const driver::DeviceHandle handle = link_.context().device();
        if (!handle.valid()) {
            health.clearIdentity();
            healthHandle = handle;
            return;
        }
        if (handle.value != healthHandle.value) {
            health.setIdentity(openDeviceNumber(), driver::CardIdentity::read(link_));
            healthHandle = handle;
        }
        health.poll(link_);
    }

    void initDialog() {
        dialog_.setText(kWatchAddresses, kRegisterList);
        dialog_.select(kAddressType, 1);
        dialog_.select(kDevice, 0);
        dialog_.select(kCategory, 0);
        dialog_.select(kStream, 0);
        dialog_.setChecked(kRecvData, false);
        dialog_.setChecked(kAllDev, true);
        link_.context().setDevice(driver::DeviceHandle::invalid());
    }

    Console& owner;
    ui::Host& host_;
    driver::DriverLink& link_;
    ConsoleOptions options;
    ui::Dialog dialog_;
    bool shutDown = false;
    driver::DeviceHandle healthHandle = driver::DeviceHandle::invalid();
    std::vector<std::function<bool()>> closingSteps;
    // Run at shutdown, last added first: stop whatever still runs.
    std::vector<std::function<void()>> shutdownSteps;
    std::vector<ui::LockedControl> locked;
    // The subsystems; destroyed before the lists and the dialog above.
    std::unique_ptr<device::Connection> connection;
    std::unique_ptr<capture::Capture> capture;
    std::unique_ptr<status::StatusMonitor> status;
    std::unique_ptr<tools::Report> report;
    std::vector<std::unique_ptr<ui::Subsystem>> others;
};

Console::Console(ui::Host& host, driver::DriverLink& link, ConsoleOptions options)
    : impl_(std::make_unique<Impl>(*this, host, link, std::move(options))) {
    impl_->attachSubsystems();
    impl_->initDialog();
}

Console::~Console() {
    shutdown();
    // The subsystems go in the reverse of their attachment, before the seam's lists.
    Impl& d = *impl_;
    d.others.clear();
    d.report.reset();
    d.status.reset();
    d.capture.reset();
    d.connection.reset();
}

ui::Dialog& Console::dialog() { return impl_->dialog_; }
ui::Host& Console::host() { return impl_->host_; }
driver::DriverLink& Console::link() { return impl_->link_; }
int Console::openDeviceNumber() const { return impl_->openDeviceNumber(); }
common::ReceiveStats& Console::receptionStats() { return impl_->capture->hub().stats(); }
const status::StatusHistory& Console::statusHistory() const { return impl_->status->history(); }
bool Console::logSaveFailed() const { return impl_->report->logSaveFailed(); }

int Console::run() {
    constexpr int kHealthPollMs = 1000;
    if (impl_->options.cardHealth) impl_->host_.setTimer(impl_->dialog_, kHealthTimer, kHealthPollMs);
    const int result = impl_->host_.runModal(impl_->dialog_);
    shutdown();
    return result;
}

void Console::shutdown() {
    Impl& d = *impl_;
    if (d.shutDown) return;
    d.shutDown = true;
    for (auto it = d.shutdownSteps.rbegin(); it != d.shutdownSteps.rend(); ++it) (*it)();
}

void Console::showAbout() {
    if (resources::loadString(resources::kStrAbout).empty()) return;
    ui::Dialog about(resources::aboutDialog());
    impl_->host_.runModal(about);
}

void Console::appendLine(std::string_view text) { impl_->dialog_.addItem(kOutputList, text); }

void Console::clearList() { impl_->dialog_.clearItems(kOutputList); }

}  // namespace pemblor::app
