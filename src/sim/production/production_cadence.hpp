#pragma once
// One periodic source of a card: due times step by the period (the rate
// times the speed setting); a source that fell far behind (the machine
// stalled) starts again from now instead of bursting.
#include <chrono>
#include <cstdint>

#include "sim/dsp/sim_dsp.hpp"

namespace pemblor::sim {

class Cadence {
public:
    Cadence() = default;
    Cadence(std::uint32_t perSecond, std::uint32_t speed);

    bool active() const { return period_.count() > 0; }
    void start(SimClock::time_point now) { due_ = now; }
    // True, advancing, when an item falls due by now.
    bool due(SimClock::time_point now);
    SimClock::time_point next() const { return due_; }

private:
    std::chrono::nanoseconds period_{0};
    SimClock::time_point due_{};
};

}  // namespace pemblor::sim
