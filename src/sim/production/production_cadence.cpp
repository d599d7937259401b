#include "sim/production/production_cadence.hpp"

namespace pemblor::sim {

namespace {
// How far a source may fall behind before it skips instead of catching up.
constexpr auto kMaxLag = std::chrono::seconds(1);
}  // namespace

Cadence::Cadence(std::uint32_t perSecond, std::uint32_t speed) {
    const std::uint64_t rate = std::uint64_t{perSecond} * speed;
    if (rate > 0) period_ = std::chrono::nanoseconds(1'000'000'000 / rate);
}

bool Cadence::due(SimClock::time_point now) {
    if (!active() || due_ > now) return false;
    if (now - due_ > kMaxLag) due_ = now;
    due_ += period_;
    return true;
}

}  // namespace pemblor::sim
