#include "sim/production/replay_cursor.hpp"

namespace pemblor::sim {

std::chrono::microseconds ReplayCursor::at(std::size_t index) const {
    return std::chrono::microseconds(script_->paced ? script_->fetches[index].atMicros : 0);
}

void ReplayCursor::restart(SimClock::time_point now) {
    // The first start is time 0; a later one goes on with the next fetch at once.
    start_ = now - (started_ && left() ? at(next_) : std::chrono::microseconds(0));
    started_ = true;
}

bool ReplayCursor::left() const { return next_ < script_->fetches.size(); }

std::optional<SimClock::time_point> ReplayCursor::due() const {
    if (!left()) return std::nullopt;
    return start_ + at(next_);
}

const ReplayFetch* ReplayCursor::take(SimClock::time_point now) {
    if (!left() || now < start_ + at(next_)) return nullptr;
    const ReplayFetch* f = &script_->fetches[next_++];
    if (!left() && loop_) {
        next_ = 0;
        start_ += std::chrono::microseconds(script_->paced ? script_->loopMicros : 0);
    }
    return f;
}

}  // namespace pemblor::sim
