// Opening and closing the card, and the device-information dump.
#include <array>

#include "app/console_impl.hpp"
#include "app/info_dump.hpp"
#include "app/printf_line.hpp"
#include "driver/little_endian.hpp"
#include "resources/string_table.hpp"

namespace pemblor::app {

using namespace resources::console;
using driver::loadU32;

namespace {
constexpr std::size_t kInfoBufferSize = 256;  // 64 words
}  // namespace

void Console::Impl::openDevice() {
    const int n = dialog.selection(kDevice);
    link.openDevice(driver::DriverLink::devicePath(n));
    if (!deviceOpen()) {
        message(resources::kStrCannotOpenDevice);
        return;
    }
    owner.clearList();
    openFollowUp(n);
}

void Console::Impl::openFollowUp(int n) {
    state.openDeviceNumber.store(n, std::memory_order_relaxed);
    dialog.setText(kDeviceLine, printfLine("Open Dev%d", n));
    dialog.setEnabled(kOpenDev, false);
    dialog.setEnabled(kCloseDev, true);

    // Zero-filled first, so a failed request reads as zeros.
    std::array<std::uint8_t, 8> version{};
    std::array<std::uint8_t, 32> hardware{};
    std::array<std::uint8_t, 16> slot{};
    link.driverVersion(version);
    link.hardwareInfo(hardware);
    link.slotInfo(slot);
    const std::uint32_t versionWord = loadU32(version, 0);
    dialog.setText(kVerInfLine,
                   printfLine("W%08X H%08X D%08X", versionWord, loadU32(hardware, 0), loadU32(hardware, 4)));
    if (versionWord < driver::kMinimumDriverVersion) {
        message(resources::kStrDriverTooOld);
        closeSequence();
        return;
    }
    owner.appendLine(printfLine("Open Dev KSVECWDM%d OK !!! Slot ID:%d", n,
                                static_cast<std::int32_t>(loadU32(slot, 12))));
    if (link.mapAddresses() == 0) message(resources::kStrMappingFailed);
    host.setTimer(dialog, kStatusTimer, 1000);
    state.statusTimerOn = true;
}

void Console::Impl::closeSequence() {
    if (dialog.checked(kRecvData)) {
        dialog.setChecked(kRecvData, false);
        if (receptionSwitch) receptionSwitch();
        host.sleep(100);
    }
    if (state.receiving.load(std::memory_order_relaxed) != 0) {
        message(resources::kStrStopRecvFirst);
        return;
    }
    if (!deviceOpen()) return;
    host.killTimer(dialog, kStatusTimer);
    state.statusTimerOn = false;
    link.unmapAddresses();
    link.closeDevice();
    dialog.setText(kDeviceLine, "Close Dev");
    dialog.setEnabled(kOpenDev, true);
    dialog.setEnabled(kCloseDev, false);
    state.openDeviceNumber.store(0, std::memory_order_relaxed);
    owner.appendLine("Close device finished OK !!!");
}

void Console::Impl::dumpDeviceInfo() {
    if (!deviceOpen()) {
        message(resources::kStrDeviceNotOpen);
        return;
    }
    const int c = dialog.selection(kCategory);
    std::array<std::uint8_t, kInfoBufferSize> info{};
    const std::uint32_t r = link.deviceInfo(static_cast<std::uint32_t>(c), info);
    owner.clearList();
    appendCategoryDump(dialog.selectedText(kCategory), static_cast<std::uint32_t>(c), info, r,
                       [this](std::string_view line) { owner.appendLine(line); });
}

}  // namespace pemblor::app
