#include "capture/dma_setup.hpp"

#include <array>
#include <cstdint>
#include <string>

#include "driver/card_identity.hpp"
#include "driver/dsp_poll.hpp"
#include "resources/console_ids.hpp"
#include "resources/string_table.hpp"

namespace pemblor::capture {

namespace {

using namespace resources::console;

constexpr ui::LockedControl kLocked[] = {{kSetDma, true, false}};

class DmaSetup final : public ui::Subsystem {
public:
    explicit DmaSetup(ui::ConsoleSeam& console) : console_(console) {
        console_.dialog().onClick(kSetDma, [this] { run(); });
        console_.addLockedControls(kLocked);
    }

private:
    void run() {
        if (!console_.deviceOpen()) {
            console_.message(resources::kStrDeviceNotOpen);
            return;
        }
        driver::DriverLink& link = console_.link();
        if (!driver::waitForDspRunning(link, kSetupPolls, [this](int ms) { console_.host().sleep(ms); })) {
            console_.message(resources::kStrDspNotRunning);
            return;
        }
        // A failure of one of the first three ends the set-up without a message.
        if (!runDmaRequests(link, console_.host().now(), [this](std::string_view line) { console_.appendLine(line); })) {
            return;
        }
        const driver::CardIdentity identity =
            driver::CardIdentity::read(link, driver::CardIdentity::Requests::kWithoutSlot);
        console_.showIdentity(identity);
        console_.appendLine("板卡序列号  : " + identity.serial);
    }

    ui::ConsoleSeam& console_;
};

}  // namespace

bool runDmaRequests(driver::DriverLink& link, const ui::LocalTime& t,
                    const std::function<void(std::string_view)>& done) {
    const driver::DriverLink::DspTime clock{static_cast<std::uint32_t>(t.year),  static_cast<std::uint32_t>(t.month),
                                            static_cast<std::uint32_t>(t.day),   static_cast<std::uint32_t>(t.hour),
                                            static_cast<std::uint32_t>(t.minute), static_cast<std::uint32_t>(t.second)};
    if (!link.setDspTime(clock)) return false;
    done("SET_DSP_TIME       OK !!!");
    if (!link.setDmaVaddr()) return false;
    done("SET_DMA_VADDR      OK !!!");
    if (!link.setDmaOaddr()) return false;
    done("SET_DMA_OADDR      OK !!!");
    link.setDmaPaddr();
    done("SET_DMA_PADDR      OK !!!");
    return true;
}

std::unique_ptr<ui::Subsystem> attachDmaSetup(ui::ConsoleSeam& console) { return std::make_unique<DmaSetup>(console); }

}  // namespace pemblor::capture
