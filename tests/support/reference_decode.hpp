#pragma once
// The tests' reference for H.264: a bare libavcodec parser-and-decoder loop
// over a byte stream, as any player would run it.
#include <cstdint>
#include <span>
#include <vector>

namespace pemblor::testing {

struct ReferenceDecode {
    // Every picture, planar 4:2:0 laid out as the render ports take it: luma,
    // then the red- and the blue-difference planes.
    std::vector<std::vector<std::uint8_t>> pictures;
    int width = 0, height = 0;  // of the last picture
    int errors = 0;             // packets the decoder refused
};

ReferenceDecode referenceDecode(std::span<const std::uint8_t> stream);

// A container file read with libavformat and decoded with libavcodec, as a
// player does: every picture, and the time each is shown at, in the
// stream's time base.
struct ContainerDecode {
    ReferenceDecode decoded;
    std::vector<std::int64_t> shownAt;
    int packets = 0, keys = 0;
    bool opened = false;
};
ContainerDecode decodeContainer(const char* path);

// A digest of each picture, to compare sequences of pictures.
std::vector<std::size_t> digests(const std::vector<std::vector<std::uint8_t>>& pictures);

}  // namespace pemblor::testing
