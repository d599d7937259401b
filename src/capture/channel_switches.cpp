#include "capture/channel_switches.hpp"

#include <cstdint>

#include "common/receive_stats.hpp"
#include "resources/console_ids.hpp"

namespace pemblor::capture {

namespace {

using common::kChannelCount;
using resources::console::kChannelSwitchFirst;

constexpr int kBoxCount = 2 * static_cast<int>(kChannelCount);  // 1047..1054

class ChannelSwitchesImpl final : public ChannelSwitches {
public:
    explicit ChannelSwitchesImpl(ui::ConsoleSeam& console) : console_(console) {
        for (int box = 0; box < kBoxCount; ++box) {
            console_.dialog().onClick(kChannelSwitchFirst + box, [this, box] { send(box); });
        }
    }

    void switchedOff() override {
        for (int box = 0; box < kBoxCount; ++box) console_.dialog().setChecked(kChannelSwitchFirst + box, false);
    }

private:
    void send(int box) {
        const bool on = console_.dialog().checked(kChannelSwitchFirst + box);
        const auto channel = static_cast<std::uint32_t>(box % kChannelCount);
        // Sent whether or not a device is open; a failure is not shown.
        if (box < static_cast<int>(kChannelCount)) {
            console_.link().switchChannel(channel, on);
        } else {
            console_.link().switchSubChannel(channel, on);
        }
    }

    ui::ConsoleSeam& console_;
};

}  // namespace

std::unique_ptr<ChannelSwitches> attachChannelSwitches(ui::ConsoleSeam& console) {
    return std::make_unique<ChannelSwitchesImpl>(console);
}

}  // namespace pemblor::capture
