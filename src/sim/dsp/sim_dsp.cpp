#include "sim/dsp/sim_dsp.hpp"

namespace pemblor::sim {

SimDsp::SimDsp(DspMode mode, std::chrono::milliseconds bootTime, SimClock::time_point now)
    : mode_(mode), bootTime_(bootTime) {
    if (mode_ != DspMode::Running) return;
    state_ = kDspStateRunning;
    startedAt_ = now - bootTime_;
    dma_ = kDmaAll;
    encoding_.fill(true);
    pictures_.fill(true);
}

std::uint32_t SimDsp::state(SimClock::time_point now) {
    if (state_ == kDspStateBooting && mode_ != DspMode::Never && now - startedAt_ >= bootTime_)
        state_ = kDspStateRunning;
    return state_;
}

std::optional<SimClock::time_point> SimDsp::runningSince(SimClock::time_point now) {
    if (!running(now)) return std::nullopt;
    return startedAt_ + bootTime_;
}

// The program, its DMA set-up, its clock and the channels are gone.
void SimDsp::reset() {
    state_ = kDspStateHeldInReset;
    blocks_ = 0;
    bytes_ = 0;
    dma_ = 0;
    clock_.reset();
    encoding_.fill(false);
    pictures_.fill(false);
}

void SimDsp::blockLoaded(std::size_t bytes) {
    ++blocks_;
    bytes_ += static_cast<std::uint32_t>(bytes);
    if (state_ == kDspStatePoweredUp || state_ == kDspStateHeldInReset) state_ = kDspStateLoaded;
}

void SimDsp::interrupt(SimClock::time_point now) {
    if (state_ != kDspStateLoaded) return;
    state_ = kDspStateBooting;
    startedAt_ = now;
}

void SimDsp::setClock(const ClockRecord& clock, SimClock::time_point now) {
    clock_ = clock;
    clockSetAt_ = now;
}

}  // namespace pemblor::sim
