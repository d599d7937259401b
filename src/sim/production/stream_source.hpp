#pragma once
// One encoded stream of the card: its loop of access units delivered at its
// picture rate, each access unit cut into stream blocks, and before each IDR
// picture the 16-byte marked block carrying the running picture number and
// the card's date and time. Not thread-safe: the card's lock covers it.
#include <cstdint>
#include <memory>

#include "sim/production/encoded_loops.hpp"
#include "sim/production/production_cadence.hpp"
#include "sim/production/sim_reception.hpp"

namespace pemblor::sim {

// The largest payload of one stream block: an access unit takes as many
// blocks as it needs.
inline constexpr std::size_t kMaxBlockPayload = 4096;
inline constexpr std::size_t kMarkedBlockPayload = 16;

class StreamSource {
public:
    StreamSource(std::uint32_t streamId, std::uint32_t fps, std::uint32_t speed)
        : id_(streamId), cadence_(fps, speed) {}

    std::uint32_t id() const { return id_; }
    bool hasLoop() const { return loop_ != nullptr; }
    void setLoop(std::shared_ptr<const EncodedLoop> loop) { loop_ = std::move(loop); }
    bool running() const { return running_; }
    // A fault: every other picture is lost at the card, IDR pictures kept.
    void losePictures(bool on) { losing_ = on; }

    // A stream starts with the loop's first picture, an IDR picture.
    void start(SimClock::time_point now);
    void stop() { running_ = false; }
    // The blocks of every picture due by now; stamp is the card's PackedTime.
    void produce(SimClock::time_point now, std::uint32_t stamp, SimReception& reception);
    SimClock::time_point next() const { return cadence_.next(); }
    // The running picture number (pictures delivered since the program started).
    void resetNumbers() { number_ = 0; }

private:
    void picture(std::uint32_t stamp, SimReception& reception);

    std::uint32_t id_;
    Cadence cadence_;
    std::shared_ptr<const EncodedLoop> loop_;
    std::size_t position_ = 0;
    std::uint32_t number_ = 0;
    bool running_ = false;
    bool losing_ = false;
};

}  // namespace pemblor::sim
