#pragma once
// What a running card produces, and when: the eight encoded streams, channel
// 1's original video, each channel's preview pictures, the full-size
// pictures and the DSP debug records, each at its rate (times the speed
// setting). Sources run only while their conditions hold: program running,
// DMA set, reception registered, and the channel's encoding (streams) or
// pictures (the rest) switched on. Pictures are drawn into the areas when a
// fetch hands them out. Not thread-safe: the card's lock covers it.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>

#include "sim/production/production_cadence.hpp"
#include "sim/dsp/sim_dsp.hpp"
#include "sim/production/sim_reception.hpp"
#include "sim/settings/sim_settings.hpp"
#include "sim/production/stream_source.hpp"
#include "sim/production/test_scene.hpp"

namespace pemblor::sim {

class Production : public PictureSource {
public:
    explicit Production(const CardSettings& settings);

    // Everything due by now goes into the queue; returns when to come back.
    SimClock::time_point produce(SimClock::time_point now, SimDsp& dsp, SimReception& reception);
    // Reception started: every source starts again from now.
    void restart(SimClock::time_point now);

    // A stream switched on whose loop is not encoded yet: its id and key.
    std::optional<std::pair<std::size_t, LoopKey>> missingLoop(const SimDsp& dsp) const;
    void installLoop(std::size_t stream, std::shared_ptr<const EncodedLoop> loop);

    // The picture of an item, drawn into its place.
    void render(const Delivery& d, std::span<std::uint8_t> out) override;
    // Size and layout of the pictures of a notification code.
    PictureFormat formatOf(std::uint32_t code) const;

private:
    bool producing(SimClock::time_point now, SimDsp& dsp, SimReception& reception) const;
    void pictures(SimClock::time_point now, SimDsp& dsp, SimReception& reception);
    void pushPicture(std::uint32_t code, std::uint32_t channel, std::uint32_t& counter, SimClock::time_point now,
                     SimDsp& dsp, SimReception& reception);
    void debugRecord(SimClock::time_point now, SimDsp& dsp, SimReception& reception);
    SimClock::time_point nextDue(SimClock::time_point now) const;

    const CardSettings& settings_;
    std::array<StreamSource, kStreamCount> streams_;
    Cadence original_;
    std::array<Cadence, kChannelCount> previews_;
    Cadence fullSize_;
    Cadence debug_;
    // Which picture sources run (they start from now when switched on).
    bool originalOn_ = false;
    std::array<bool, kChannelCount> previewOn_{};
    bool fullSizeOn_ = false;
    std::uint32_t fullSizeChannel_ = 0;  // full-size pictures take the channels in turn
    std::uint32_t originalCount_ = 0;
    std::array<std::uint32_t, kChannelCount> previewCount_{};
    std::uint32_t fullSizeCount_ = 0;
    std::uint32_t debugSequence_ = 0;
    bool wasProducing_ = false;
};

// The card's date and time as PackedTime: the clock the console set,
// running on since; the host's local time before any was set.
std::uint32_t cardTime(SimClock::time_point now, const SimDsp& dsp);

}  // namespace pemblor::sim
