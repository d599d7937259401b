#pragma once
// Planar 4:2:0 pictures to packed RGB for showing and saving, through
// libswscale (BT.601, studio range, as the card and the decoder deliver them).
#include <cstdint>
#include <memory>

#include "video/renderer.hpp"

struct SwsContext;

namespace pemblor::video {

enum class RgbLayout {
    Bgra,  // 4 bytes a pixel, B G R and 255: a 32-bit 0xffRRGGBB word on little-endian machines
    Rgb,   // 3 bytes a pixel, R G B
};

// Keeps its scaler from one picture to the next of the same size; use one
// converter per thread.
class RgbConverter {
public:
    RgbConverter();
    ~RgbConverter();
    RgbConverter(const RgbConverter&) = delete;
    RgbConverter& operator=(const RgbConverter&) = delete;

    // Writes width x height pixels to out, lines `outStride` bytes apart.
    // False for a size renderers do not draw or when no scaler can be had.
    bool convert(const PicturePlanes& planes, int width, int height, std::uint8_t* out, int outStride,
                 RgbLayout layout);

private:
    struct ScaleFree {
        void operator()(SwsContext* s) const;
    };
    std::unique_ptr<SwsContext, ScaleFree> scale_;
};

}  // namespace pemblor::video
