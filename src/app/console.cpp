#include "app/console.hpp"

#include "app/console_impl.hpp"
#include "app/status_monitor.hpp"
#include "capture/capture.hpp"
#include "dsp/boot_control.hpp"
#include "dsp/debug_commands.hpp"
#include "memory/memory_tools.hpp"
#include "resources/dialogs.hpp"
#include "resources/string_table.hpp"
#include "tools/report.hpp"
#include "tools/superior_lock.hpp"
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

Console::Impl::Impl(Console& o, ui::Host& h, driver::DriverLink& l, ConsoleOptions opts)
    : owner(o), host(h), link(l), options(std::move(opts)), dialog(resources::consoleDialog()) {}

void Console::Impl::initDialog() {
    // The About entry lives in the view's context menu; the string decides whether it exists.
    state.addressText = "0x00000000";
    state.lengthText = "0x80";
    state.debugNumberText = "0x00";
    state.watching = 0;
    state.receiving.store(0, std::memory_order_relaxed);
    state.secondsCounter.store(0, std::memory_order_relaxed);
    dialog.setText(kWatchAddresses, kRegisterList);
    pushTexts();
    dialog.select(kAddressType, 1);
    dialog.select(kDevice, 0);
    dialog.select(kCategory, 0);
    dialog.select(kStream, 0);
    dialog.setChecked(kRecvData, false);
    dialog.setChecked(kAllDev, true);
    link.context().setDevice(driver::DeviceHandle::invalid());
}

void Console::Impl::pullTexts() {
    state.addressText = dialog.text(kAddress);
    state.lengthText = dialog.text(kLength);
    state.debugNumberText = dialog.text(kDebugNumber);
    state.emailText = dialog.text(kEmailLabel);
}

void Console::Impl::pushTexts() {
    dialog.setText(kAddress, state.addressText);
    dialog.setText(kLength, state.lengthText);
    dialog.setText(kDebugNumber, state.debugNumberText);
    dialog.setText(kEmailLabel, state.emailText);
}

void Console::Impl::message(int stringId) { host.messageBox(&dialog, resources::loadString(stringId)); }

void Console::Impl::installHandlers() {
    dialog.onClick(kClear, [this] { owner.clearList(); });
    dialog.onClick(kExit, [this] { exit(); });
    dialog.onClick(kOpenDev, [this] { openDevice(); });
    dialog.onClick(kCloseDev, [this] { closeSequence(); });
    dialog.onClick(kDevInf, [this] { dumpDeviceInfo(); });
}

void Console::Impl::attachSubsystems() {
    subsystems.push_back(tools::attachSuperiorLock(seam));
    subsystems.push_back(memory::attachMemoryTools(seam));
    subsystems.push_back(dsp::attachDebugCommands(seam));
    subsystems.push_back(dsp::attachBootControl(seam));
    subsystems.push_back(capture::attachCapture(seam));
    subsystems.push_back(attachStatusMonitor(seam));
    subsystems.push_back(tools::attachReport(seam));
    subsystems.push_back(video::attachVideoWindows(seam));
}

void Console::Impl::exit() {
    // The window closes whatever the close sequence did.
    closeSequence();
    dialog.end(ui::kIdOk);
}

Console::Console(ui::Host& host, driver::DriverLink& link, ConsoleOptions options)
    : impl_(std::make_unique<Impl>(*this, host, link, std::move(options))) {
    impl_->installHandlers();
    impl_->attachSubsystems();
    impl_->initDialog();
}

Console::~Console() { shutdown(); }

ui::Dialog& Console::dialog() { return impl_->dialog; }
ui::Host& Console::host() { return impl_->host; }
driver::DriverLink& Console::link() { return impl_->link; }
ConsoleState& Console::state() { return impl_->state; }

int Console::run() {
    const int result = impl_->host.runModal(impl_->dialog);
    shutdown();
    return result;
}

void Console::shutdown() {
    Impl& d = *impl_;
    if (d.shutDown) return;
    d.shutDown = true;
    for (auto it = d.shutdownSteps.rbegin(); it != d.shutdownSteps.rend(); ++it) (*it)();
    // Leave the card as a closed device would be left: mapping handed back, handle closed.
    if (d.deviceOpen()) {
        if (d.state.statusTimerOn) d.host.killTimer(d.dialog, kStatusTimer);
        d.state.statusTimerOn = false;
        d.link.unmapAddresses();
        d.link.closeDevice();
    }
}

void Console::showAbout() {
    if (resources::loadString(resources::kStrAbout).empty()) return;
    ui::Dialog about(resources::aboutDialog());
    impl_->host.runModal(about);
}

void Console::appendLine(std::string_view text) { impl_->dialog.addItem(kOutputList, text); }

void Console::clearList() { impl_->dialog.clearItems(kOutputList); }

}  // namespace pemblor::app
