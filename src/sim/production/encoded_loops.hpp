#pragma once
// Each stream's pictures encoded once, ahead: a loop of access units that
// the card delivers over and over (its first picture is an IDR picture, and
// the loop is a whole number of GOPs, so it joins itself seamlessly). The
// counter drawn in the pictures therefore repeats with the loop. Loops are
// kept per process and shared by every card that asks for the same stream.
#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "sim/production/h264_encoder.hpp"

namespace pemblor::sim {

struct LoopKey {
    int channel = 0;  // 0..3, drawn as CH1..CH4
    int width = 352;
    int height = 288;
    int fps = 25;
    int kbps = 768;
    int pictures = 50;  // a multiple of the GOP (fps pictures)

    friend bool operator<(const LoopKey& a, const LoopKey& b) {
        return std::tie(a.channel, a.width, a.height, a.fps, a.kbps, a.pictures) <
               std::tie(b.channel, b.width, b.height, b.fps, b.kbps, b.pictures);
    }
};

struct EncodedLoop {
    std::vector<AccessUnit> units;  // one a picture; units[0] is an IDR picture
    std::size_t bytes = 0;
};

// The loop of a stream, encoded on first use (which takes a while: call it
// without holding locks others wait for). Null, with the reason, when the
// encoder fails.
std::shared_ptr<const EncodedLoop> encodedLoop(const LoopKey& key, std::string& error);

// A copy of a loop in which every fifth picture (never an IDR picture) has
// eight bytes in the middle of its slice data inverted: a stream with
// corrupt slices, for a card with that fault.
std::shared_ptr<const EncodedLoop> withDamagedSlices(const EncodedLoop& loop);

}  // namespace pemblor::sim
