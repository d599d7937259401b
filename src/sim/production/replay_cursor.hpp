#pragma once
// Where a replay stands: the next fetch to hand out, and, in a paced replay,
// when it falls due. Its clock starts when reception is registered, and
// again, from where it stood, when reception starts anew; a looping replay
// starts over after its last fetch, one period later.
#include <cstdint>
#include <memory>
#include <optional>

#include "sim/dsp/sim_dsp.hpp"
#include "sim/settings/replay.hpp"

namespace pemblor::sim {

class ReplayCursor {
public:
    ReplayCursor(std::shared_ptr<const ReplayScript> script, bool loop) : script_(std::move(script)), loop_(loop) {}

    // Reception was registered at now: the first time, the replay's time 0;
    // after that, the next fetch is due at once.
    void restart(SimClock::time_point now);
    // The next fetch, when one is left.
    bool left() const;
    // When the next fetch falls due; nothing when none is left.
    std::optional<SimClock::time_point> due() const;
    // The next fetch if it is due by now, and moves past it; null otherwise.
    const ReplayFetch* take(SimClock::time_point now);

private:
    std::chrono::microseconds at(std::size_t index) const;

    std::shared_ptr<const ReplayScript> script_;
    bool loop_;
    std::size_t next_ = 0;
    bool started_ = false;
    SimClock::time_point start_{};  // when the replay's time 0 was (this round)
};

}  // namespace pemblor::sim
