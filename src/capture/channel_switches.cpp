#include "capture/channel_switches.hpp"

#include <cstdint>

#include "capture/receive_stats.hpp"
#include "resources/console_ids.hpp"

namespace pemblor::capture {

namespace {

using resources::console::kChannelSwitchFirst;

class ChannelSwitches final : public app::Subsystem {
public:
    explicit ChannelSwitches(app::ConsoleSeam& console) : console_(console) {
        for (int box = 0; box < 2 * static_cast<int>(kChannelCount); ++box) {
            console_.dialog().onClick(kChannelSwitchFirst + box, [this, box] { send(box); });
        }
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

    app::ConsoleSeam& console_;
};

}  // namespace

std::unique_ptr<app::Subsystem> attachChannelSwitches(app::ConsoleSeam& console) {
    return std::make_unique<ChannelSwitches>(console);
}

}  // namespace pemblor::capture
