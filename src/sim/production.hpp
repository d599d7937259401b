#pragma once
// What a running card produces, and when: each source has its rate (times
// the speed setting) and the time its next item falls due. Sources run only
// while their conditions hold (program running, DMA set, reception
// registered, the channel's switch on). Not thread-safe: the card's lock
// covers it.
#include <chrono>
#include <cstdint>

#include "sim/sim_dsp.hpp"
#include "sim/sim_reception.hpp"
#include "sim/sim_settings.hpp"

namespace pemblor::sim {

// One periodic source: due times step by the period; a source that fell far
// behind (the machine stalled) starts again from now instead of bursting.
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

class Production {
public:
    explicit Production(const CardSettings& settings);

    // Everything due by now goes into the queue; returns when to come back.
    SimClock::time_point produce(SimClock::time_point now, SimDsp& dsp, SimReception& reception);
    // Reception started (or the program restarted): sources start from now.
    void restart(SimClock::time_point now);

private:
    void debugRecord(SimClock::time_point now, SimDsp& dsp, SimReception& reception);

    Cadence debug_;
    std::uint32_t debugSequence_ = 0;
    bool wasProducing_ = false;
};

}  // namespace pemblor::sim
