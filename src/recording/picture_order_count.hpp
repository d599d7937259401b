#pragma once
// Picture order counts of H.264 (types 0, 1 and 2), picture by picture in
// decoding order: what tells a decoder in which order to show the pictures.
// Counts are kept in 64 bits, so no input can make them overflow.
#include <cstdint>

#include "recording/h264_syntax.hpp"

namespace pemblor::recording {

struct OrderCounts {
    std::int64_t top = 0;     // of the top field (a frame: its first field)
    std::int64_t bottom = 0;  // of the bottom field
    // The picture's own count: the smaller for a frame, its field's for a field.
    std::int64_t picture(const SliceHeader& h) const {
        if (!h.fieldPic) return top < bottom ? top : bottom;
        return h.bottomField ? bottom : top;
    }
};

class PictureOrderCounter {
public:
    // The counts of the next picture in decoding order, given its first slice.
    OrderCounts next(const SliceHeader& h, const Sps& sps);

private:
    OrderCounts type0(const SliceHeader& h, const Sps& sps);
    OrderCounts type1(const SliceHeader& h, const Sps& sps, std::int64_t frameNumOffset);
    std::int64_t frameNumOffset(const SliceHeader& h, const Sps& sps) const;

    // Of the previous reference picture (type 0).
    std::int64_t prevMsb_ = 0, prevLsb_ = 0;
    // Of the previous picture (types 1 and 2).
    std::int64_t prevFrameNumOffset_ = 0;
    std::uint32_t prevFrameNum_ = 0;
};

}  // namespace pemblor::recording
