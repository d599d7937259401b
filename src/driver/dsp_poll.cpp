#include "driver/dsp_poll.hpp"

#include "driver/request_codes.hpp"

namespace pemblor::driver {

std::optional<int> waitForDspRunning(DriverLink& link, int polls, const std::function<void(int ms)>& sleep) {
    for (int waits = 0; waits < polls; ++waits) {
        std::uint32_t state = 0;
        if (link.dspState(state) && state == kDspRunning) return waits;
        sleep(kDspPollIntervalMs);
    }
    return std::nullopt;
}

}  // namespace pemblor::driver
