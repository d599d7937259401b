#include "recording/picture_order_count.hpp"

namespace pemblor::recording {

OrderCounts PictureOrderCounter::next(const SliceHeader& h, const Sps& sps) {
    OrderCounts c;
    if (sps.pocType == 0) {
        c = type0(h, sps);
    } else {
        const std::int64_t offset = frameNumOffset(h, sps);
        c = type1(h, sps, offset);
        prevFrameNumOffset_ = h.mmco5 ? 0 : offset;
        prevFrameNum_ = h.mmco5 ? 0 : h.frameNum;
    }
    if (h.mmco5) {
        // Operation 5 starts the counts afresh: the picture itself counts from 0.
        const std::int64_t base = h.fieldPic ? c.picture(h) : (c.top < c.bottom ? c.top : c.bottom);
        c.top = static_cast<std::int64_t>(static_cast<std::uint64_t>(c.top) - static_cast<std::uint64_t>(base));
        c.bottom = static_cast<std::int64_t>(static_cast<std::uint64_t>(c.bottom) - static_cast<std::uint64_t>(base));
        if (sps.pocType == 0) {
            prevMsb_ = 0;
            prevLsb_ = h.fieldPic && h.bottomField ? 0 : c.top;
        }
    }
    return c;
}

OrderCounts PictureOrderCounter::type0(const SliceHeader& h, const Sps& sps) {
    if (h.idr()) prevMsb_ = prevLsb_ = 0;
    const std::int64_t maxLsb = std::int64_t{1} << sps.log2MaxPocLsb;
    const std::int64_t lsb = h.pocLsb;
    std::int64_t msb = prevMsb_;
    if (lsb < prevLsb_ && prevLsb_ - lsb >= maxLsb / 2)
        msb += maxLsb;
    else if (lsb > prevLsb_ && lsb - prevLsb_ > maxLsb / 2)
        msb -= maxLsb;
    OrderCounts c;
    c.top = c.bottom = msb + lsb;
    if (!h.fieldPic) c.bottom = c.top + h.deltaPocBottom;  // int64: never near its ends
    if (h.nalRefIdc != 0) {
        prevMsb_ = msb;
        prevLsb_ = lsb;
    }
    return c;
}

std::int64_t PictureOrderCounter::frameNumOffset(const SliceHeader& h, const Sps& sps) const {
    if (h.idr()) return 0;
    const std::int64_t maxFrameNum = std::int64_t{1} << sps.log2MaxFrameNum;
    return prevFrameNum_ > h.frameNum ? prevFrameNumOffset_ + maxFrameNum : prevFrameNumOffset_;
}

OrderCounts PictureOrderCounter::type1(const SliceHeader& h, const Sps& sps, std::int64_t offset) {
    OrderCounts c;
    const bool reference = h.nalRefIdc != 0;
    if (sps.pocType == 2) {
        const std::int64_t count = h.idr() ? 0 : 2 * (offset + h.frameNum) - (reference ? 0 : 1);
        c.top = c.bottom = count;
        return c;
    }
    // Unsigned, so that a hostile stream wraps around instead of overflowing;
    // C++20 converts back modulo 2^64.
    using U = std::uint64_t;
    const auto u = [](std::int64_t v) { return static_cast<U>(v); };
    const std::int64_t n = sps.refFramesInPocCycle;
    std::int64_t abs = n != 0 ? offset + h.frameNum : 0;
    if (!reference && abs > 0) --abs;
    U expected = 0;
    if (abs > 0) {
        U perCycle = 0;
        for (int i = 0; i < n; ++i) perCycle += u(sps.offsetForRefFrame[static_cast<std::size_t>(i)]);
        const std::int64_t cycles = (abs - 1) / n, inCycle = (abs - 1) % n;
        expected = u(cycles) * perCycle;
        for (std::int64_t i = 0; i <= inCycle; ++i) expected += u(sps.offsetForRefFrame[static_cast<std::size_t>(i)]);
    }
    if (!reference) expected += u(sps.offsetForNonRefPic);
    const U toBottom = u(sps.offsetForTopToBottomField);
    if (!h.fieldPic) {
        c.top = static_cast<std::int64_t>(expected + u(h.deltaPoc[0]));
        c.bottom = static_cast<std::int64_t>(u(c.top) + toBottom + u(h.deltaPoc[1]));
    } else if (!h.bottomField) {
        c.top = c.bottom = static_cast<std::int64_t>(expected + u(h.deltaPoc[0]));
    } else {
        c.top = c.bottom = static_cast<std::int64_t>(expected + toBottom + u(h.deltaPoc[0]));
    }
    return c;
}

}  // namespace pemblor::recording
