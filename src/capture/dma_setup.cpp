#include "capture/dma_setup.hpp"

#include <array>
#include <cstdint>
#include <string>

#include "app/printf_line.hpp"
#include "driver/little_endian.hpp"
#include "resources/console_ids.hpp"
#include "resources/string_table.hpp"

namespace pemblor::capture {

namespace {

using namespace resources::console;
using driver::loadU32;

constexpr int kPollIntervalMs = 20;
// The serial number: bytes 8..23 of the hardware answer, ended by a zero byte
// that the console forces at byte 24.
constexpr std::size_t kSerialOffset = 8;
constexpr std::size_t kSerialEnd = 24;

class DmaSetup final : public app::Subsystem {
public:
    explicit DmaSetup(app::ConsoleSeam& console) : console_(console) {
        console_.dialog().onClick(kSetDma, [this] { run(); });
    }

private:
    void run() {
        if (!console_.deviceOpen()) {
            console_.message(resources::kStrDeviceNotOpen);
            return;
        }
        if (!waitForRunningDsp()) {
            console_.message(resources::kStrDspNotRunning);
            return;
        }
        driver::DriverLink& link = console_.link();
        const ui::LocalTime t = console_.host().now();
        const driver::DriverLink::DspTime clock{static_cast<std::uint32_t>(t.year),  static_cast<std::uint32_t>(t.month),
                                                static_cast<std::uint32_t>(t.day),   static_cast<std::uint32_t>(t.hour),
                                                static_cast<std::uint32_t>(t.minute), static_cast<std::uint32_t>(t.second)};
        // A failure of one of the first three ends the set-up without a message.
        if (!link.setDspTime(clock)) return;
        console_.appendLine("SET_DSP_TIME       OK !!!");
        if (!link.setDmaVaddr()) return;
        console_.appendLine("SET_DMA_VADDR      OK !!!");
        if (!link.setDmaOaddr()) return;
        console_.appendLine("SET_DMA_OADDR      OK !!!");
        link.setDmaPaddr();
        console_.appendLine("SET_DMA_PADDR      OK !!!");
        showIdentity();
    }

    bool waitForRunningDsp() {
        std::uint32_t state = 0;
        for (int poll = 0; poll < kSetupPolls; ++poll) {
            if (console_.link().dspState(state) && state == driver::kDspRunning) return true;
            console_.host().sleep(kPollIntervalMs);
        }
        return false;
    }

    void showIdentity() {
        std::array<std::uint8_t, 8> version{};
        std::array<std::uint8_t, 32> hardware{};
        console_.link().driverVersion(version);
        console_.link().hardwareInfo(hardware);
        console_.dialog().setText(kVerInfLine, app::printfLine("W%08X H%08X D%08X", loadU32(version, 0),
                                                               loadU32(hardware, 0), loadU32(hardware, 4)));
        hardware[kSerialEnd] = 0;
        std::string serial;
        for (std::size_t i = kSerialOffset; hardware[i] != 0; ++i) serial += static_cast<char>(hardware[i]);
        console_.appendLine("板卡序列号  : " + serial);
    }

    app::ConsoleSeam& console_;
};

}  // namespace

std::unique_ptr<app::Subsystem> attachDmaSetup(app::ConsoleSeam& console) {
    return std::make_unique<DmaSetup>(console);
}

}  // namespace pemblor::capture
