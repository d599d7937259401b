#include "video/preview_picture.hpp"

#include "video/chroma_422_to_420.hpp"
#include "video/deinterlace.hpp"

namespace pemblor::video {

PictureSize previewPictureSize(std::uint32_t code, bool ntsc) {
    switch (code) {
        case kCodeFullSize:
            return {kFullSizeWidth, ntsc ? kFullSizeNtscHeight : kFullSizePalHeight};
        case kCodeCifNtsc:
            return {352, ntsc ? 240 : 288};
        case kCodeQcif:
            return {176, ntsc ? 120 : 144};
        default:
            return {352, 288};
    }
}

std::size_t previewPictureBytes(PictureSize size, bool planar422) {
    return planar422 ? planar422Bytes(size.width, size.height) : planar420Bytes(size.width, size.height);
}

}  // namespace pemblor::video
