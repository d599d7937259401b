#include "sim/production.hpp"

#include <algorithm>

namespace pemblor::sim {

namespace {

// How far a source may fall behind before it skips instead of catching up.
constexpr auto kMaxLag = std::chrono::seconds(1);
// How often an idle card looks at its conditions again (a switch or a boot
// that ends without a request to wake it).
constexpr auto kIdlePoll = std::chrono::milliseconds(20);

std::uint32_t switchMask(const SimDsp& dsp) {
    std::uint32_t mask = 0;
    for (std::size_t ch = 0; ch < kChannelCount; ++ch) {
        if (dsp.encoding()[ch]) mask |= 1u << ch;
        if (dsp.pictures()[ch]) mask |= 0x10u << ch;
    }
    return mask;
}

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

Production::Production(const CardSettings& settings) : debug_(settings.debugPerSecond, settings.speed) {}

void Production::restart(SimClock::time_point now) { debug_.start(now); }

SimClock::time_point Production::produce(SimClock::time_point now, SimDsp& dsp, SimReception& reception) {
    const bool producing = reception.event() && !reception.replaying() && dsp.running(now) && dsp.dmaSet();
    if (!producing) {
        wasProducing_ = false;
        return now + kIdlePoll;
    }
    if (!wasProducing_) restart(now);
    wasProducing_ = true;
    while (debug_.due(now)) debugRecord(now, dsp, reception);
    SimClock::time_point next = now + kIdlePoll;
    if (debug_.active()) next = std::min(next, debug_.next());
    return next;
}

void Production::debugRecord(SimClock::time_point now, SimDsp& dsp, SimReception& reception) {
    Delivery d;
    d.code = kCodeDebugRecords;
    d.size = kDebugRecordSize;
    d.number = debugSequence_++;
    const auto since = dsp.runningSince(now).value_or(now);
    d.stamp = static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now - since).count());
    d.channel = switchMask(dsp);
    reception.push(d);
}

}  // namespace pemblor::sim
