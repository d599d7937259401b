#pragma once
// Waiting for the DSP to run its program: its state is polled every 20 ms,
// at most a given number of times.
#include <functional>
#include <optional>

#include "driver/driver_link.hpp"

namespace pemblor::driver {

inline constexpr int kDspPollIntervalMs = 20;

// Asks the DSP state up to polls times, sleeping kDspPollIntervalMs (through
// sleep) after each answer that is not "running". The number of sleeps it
// took, or nothing when the DSP did not run.
std::optional<int> waitForDspRunning(DriverLink& link, int polls, const std::function<void(int ms)>& sleep);

}  // namespace pemblor::driver
