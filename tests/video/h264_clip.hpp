#pragma once
// Short H.264 clips for decoder and player tests: encoded by the simulated
// card's encoder from a moving scene, and decoded again by a bare libavcodec
// loop that serves as the reference.
#include <cstdint>
#include <vector>

namespace pemblor::video::testing {

struct Clip {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bytes;         // the byte stream, access units back to back
    std::vector<std::size_t> unitSizes;      // bytes of each access unit, in order
};

// `pictures` pictures of a scene whose content changes with every picture.
Clip encodeClip(int width, int height, int pictures, int gop = 25);

// Every picture libavcodec decodes from bytes, each laid out as the render
// ports take it: luma, then the red- and the blue-difference planes.
std::vector<std::vector<std::uint8_t>> referenceDecode(const std::vector<std::uint8_t>& bytes);

}  // namespace pemblor::video::testing
