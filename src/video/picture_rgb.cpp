#include "video/picture_rgb.hpp"

extern "C" {
#include <libswscale/swscale.h>
}

namespace pemblor::video {

void RgbConverter::ScaleFree::operator()(SwsContext* s) const { sws_freeContext(s); }

RgbConverter::RgbConverter() = default;
RgbConverter::~RgbConverter() = default;

bool RgbConverter::convert(const PicturePlanes& planes, int width, int height, std::uint8_t* out, int outStride,
                           RgbLayout layout) {
    if (!drawablePictureSize(width, height) || !planes.luma || !planes.chromaR || !planes.chromaB || !out) {
        return false;
    }
    const AVPixelFormat to = layout == RgbLayout::Bgra ? AV_PIX_FMT_BGRA : AV_PIX_FMT_RGB24;
    // Same size in and out: a colour conversion only, no filtering.
    SwsContext* s = sws_getCachedContext(scale_.release(), width, height, AV_PIX_FMT_YUV420P, width, height, to,
                                         SWS_POINT, nullptr, nullptr, nullptr);
    scale_.reset(s);
    if (!s) return false;
    const std::uint8_t* const in[4] = {planes.luma, planes.chromaB, planes.chromaR, nullptr};
    const int inStrides[4] = {width, width / 2, width / 2, 0};
    std::uint8_t* const outPlanes[4] = {out, nullptr, nullptr, nullptr};
    const int outStrides[4] = {outStride, 0, 0, 0};
    return sws_scale(s, in, inStrides, 0, height, outPlanes, outStrides) == height;
}

}  // namespace pemblor::video
