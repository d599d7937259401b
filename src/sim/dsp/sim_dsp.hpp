#pragma once
// The card's DSP as the driver reports it: held in reset, loaded block by
// block, started by the interrupt, running once its program has booted; the
// clock the console gives it, the three DMA addresses the driver sets, and
// the two switches of each channel. Not thread-safe: the card's lock covers it.
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>

namespace pemblor::sim {

using SimClock = std::chrono::steady_clock;

// States of request 0x222418. Only 21 is fixed by the driver contract.
inline constexpr std::uint32_t kDspStatePoweredUp = 0;     // no program since power-up
inline constexpr std::uint32_t kDspStateHeldInReset = 1;   // reset, nothing loaded since
inline constexpr std::uint32_t kDspStateLoaded = 2;        // blocks loaded, not started
inline constexpr std::uint32_t kDspStateBooting = 3;       // interrupted, the program boots
inline constexpr std::uint32_t kDspStateRunning = 21;

inline constexpr std::size_t kChannelCount = 4;

// DMA addresses the driver has set, as bits of category 2's word 3.
inline constexpr std::uint32_t kDmaVaddr = 1;  // 0x222500
inline constexpr std::uint32_t kDmaOaddr = 2;  // 0x222508
inline constexpr std::uint32_t kDmaPaddr = 4;  // sub-code 12
inline constexpr std::uint32_t kDmaAll = kDmaVaddr | kDmaOaddr | kDmaPaddr;

// How the DSP comes up.
enum class DspMode {
    Normal,   // at power-up, waiting for the boot road
    Running,  // in service: program running, DMA set, every channel on
    Never,    // its program never starts (a fault)
};

// The clock record of request 0x22245c: year, month, day, hour, minute, second.
using ClockRecord = std::array<std::uint32_t, 6>;

class SimDsp {
public:
    SimDsp(DspMode mode, std::chrono::milliseconds bootTime, SimClock::time_point now);

    std::uint32_t state(SimClock::time_point now);
    bool running(SimClock::time_point now) { return state(now) == kDspStateRunning; }
    // Since when the program runs; none while it does not.
    std::optional<SimClock::time_point> runningSince(SimClock::time_point now);

    void reset();
    // A block placed in memory (by the caller) counts towards the program.
    void blockLoaded(std::size_t bytes);
    // The interrupt starts the program only when blocks were loaded since the reset.
    void interrupt(SimClock::time_point now);

    void setClock(const ClockRecord& clock, SimClock::time_point now);
    const std::optional<ClockRecord>& clock() const { return clock_; }
    // When the clock was set (meaningful only with a clock).
    SimClock::time_point clockSetAt() const { return clockSetAt_; }

    void setDma(std::uint32_t bit) { dma_ |= bit; }
    std::uint32_t dma() const { return dma_; }
    bool dmaSet() const { return (dma_ & kDmaAll) == kDmaAll; }

    std::uint32_t blocksLoaded() const { return blocks_; }
    std::uint32_t bytesLoaded() const { return bytes_; }

    // Per channel: encoding (main and sub-stream) and pictures (preview, original video).
    std::array<bool, kChannelCount>& encoding() { return encoding_; }
    std::array<bool, kChannelCount>& pictures() { return pictures_; }
    const std::array<bool, kChannelCount>& encoding() const { return encoding_; }
    const std::array<bool, kChannelCount>& pictures() const { return pictures_; }

private:
    DspMode mode_;
    std::chrono::milliseconds bootTime_;
    std::uint32_t state_ = kDspStatePoweredUp;
    SimClock::time_point startedAt_{};  // interrupt (booting) or power-up in service
    std::uint32_t blocks_ = 0;
    std::uint32_t bytes_ = 0;
    std::uint32_t dma_ = 0;
    std::optional<ClockRecord> clock_;
    SimClock::time_point clockSetAt_{};
    std::array<bool, kChannelCount> encoding_{};
    std::array<bool, kChannelCount> pictures_{};
};

}  // namespace pemblor::sim
