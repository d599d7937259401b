#pragma once
// The vector de-interlacer, written once for any vector width. Included only by
// the SSE2 and AVX2 worker sources, each compiled for its own instruction set;
// everything here has internal linkage so that the two never meet in the linker.
//
// Ops supplies the vector type V of Ops::kBytes bytes, seen as 128-bit lanes of
// two 8-column blocks each. The squared differences are taken on 16-bit even
// and odd columns and folded with multiply-add, so a 32-bit element sums four
// neighbouring columns and a block is two elements; sums stay far below 2^31.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace pemblor::video::detail {
namespace {

template <class Ops>
struct DeinterlaceKernel {
    using V = typename Ops::V;
    static constexpr int kSwapPairs = _MM_SHUFFLE(1, 0, 3, 2);   // [v2, v3, v0, v1]
    static constexpr int kSpreadPair = _MM_SHUFFLE(1, 1, 0, 0);  // [v0, v0, v1, v1]

    struct Columns {
        V even;
        V odd;
    };

    static Columns columns(const std::uint8_t* p) {
        const V v = Ops::load(p);
        return {Ops::evenBytes(v), Ops::oddBytes(v)};
    }

    // Element k: sum of (a - b)^2 over bytes 4k to 4k + 3.
    static V squaredDifference(const Columns& a, const Columns& b) {
        const V de = Ops::sub16(a.even, b.even);
        const V dodd = Ops::sub16(a.odd, b.odd);
        return Ops::add32(Ops::madd16(de, de), Ops::madd16(dodd, dodd));
    }

    // Per lane: [x of block 0, x of block 1, y of block 0, y of block 1].
    static V blockTotals(V x, V y) { return Ops::pairSums(x, y); }

    // B < floor(6A / 8) and A > 32, element by element.
    static V mainVotes(V cross, V same) {
        const V six = Ops::add32(Ops::template shiftLeft32<1>(cross), Ops::template shiftLeft32<2>(cross));
        const V limit = Ops::template shiftRight32<3>(six);
        return Ops::and_(Ops::gt32(limit, same), Ops::gt32(cross, Ops::set32(32)));
    }

    static V lastVotes(V cross, V same) {
        return Ops::and_(Ops::gt32(cross, same), Ops::gt32(cross, Ops::set32(4)));
    }

    // [block 0, block 1] per lane in elements 0 and 1 -> a byte mask per block.
    static V byteMask(V perBlock) { return Ops::template shuffle32<kSpreadPair>(perBlock); }

    static void mainChunk(std::uint8_t* top, std::ptrdiff_t stride) {
        Columns l[10];
        for (int i = 0; i < 10; ++i) l[i] = columns(top + i * stride);
        V cross[4];
        V same[4];
        for (int g = 0; g < 4; ++g) {
            const int r = 2 * g;
            cross[g] = Ops::add32(squaredDifference(l[r], l[r + 1]), squaredDifference(l[r + 1], l[r + 2]));
            same[g] = Ops::add32(squaredDifference(l[r], l[r + 2]), squaredDifference(l[r + 1], l[r + 3]));
        }
        const V votes = Ops::or_(mainVotes(blockTotals(cross[0], cross[1]), blockTotals(same[0], same[1])),
                                 mainVotes(blockTotals(cross[2], cross[3]), blockTotals(same[2], same[3])));
        const V combed = Ops::or_(votes, Ops::template shuffle32<kSwapPairs>(votes));
        const int which = Ops::mask32(combed);
        if (which == 0) return;
        const bool all = which == Ops::kAllMask32;
        const V mask = byteMask(combed);
        for (int t = 0; t < 4; ++t) {
            const std::uint8_t* above = top + 2 * t * stride;
            std::uint8_t* odd = top + (2 * t + 1) * stride;
            const V average = Ops::floorAverage(Ops::load(above), Ops::load(above + 2 * stride));
            Ops::store(odd, all ? average : Ops::select(mask, average, Ops::load(odd)));
        }
    }

    static void lastChunk(std::uint8_t* top, std::ptrdiff_t stride) {
        Columns l[7];
        for (int i = 0; i < 7; ++i) l[i] = columns(top + i * stride);
        // Running totals over the three groups.
        const V cross1 = squaredDifference(l[0], l[1]);
        const V cross2 = Ops::add32(cross1, squaredDifference(l[2], l[3]));
        const V cross3 = Ops::add32(cross2, squaredDifference(l[4], l[5]));
        const V same1 = squaredDifference(l[0], l[2]);
        const V same2 = Ops::add32(same1, squaredDifference(l[2], l[4]));
        const V same3 = Ops::add32(same2, squaredDifference(l[4], l[6]));
        const V v12 = lastVotes(blockTotals(cross1, cross2), blockTotals(same1, same2));
        const V v3 = lastVotes(blockTotals(cross3, cross3), blockTotals(same3, same3));
        const V v21 = Ops::template shuffle32<kSwapPairs>(v12);
        // At least two of three: both of the first two, or either of them and the third.
        const V blend = Ops::or_(Ops::and_(v12, v21), Ops::and_(Ops::or_(v12, v21), v3));
        const V mask = byteMask(blend);
        for (int t = 0; t < 3; ++t) {
            const std::uint8_t* above = top + 2 * t * stride;
            const V mid = Ops::load(above + stride);
            const V average = Ops::floorAverage(Ops::load(above), Ops::load(above + 2 * stride));
            // (a + 2b + c + 2) >> 2 == round-up average of floor((a + c) / 2) and b.
            const V threeTap = Ops::roundUpAverage(average, mid);
            Ops::store(top + (2 * t + 1) * stride, Ops::select(mask, threeTap, average));
        }
        std::uint8_t* bottom = top + 7 * stride;
        Ops::store(bottom, Ops::floorAverage(Ops::load(bottom - stride), Ops::load(bottom)));
    }

    static void run(std::uint8_t* plane, int width, int height, int x0, int x1) {
        const std::ptrdiff_t stride = width;
        const int lastTop = height - 8;
        for (int y = 0; y < lastTop; y += 8) {
            std::uint8_t* row = plane + y * stride;
            for (int x = x0; x < x1; x += Ops::kBytes) mainChunk(row + x, stride);
        }
        std::uint8_t* row = plane + lastTop * stride;
        for (int x = x0; x < x1; x += Ops::kBytes) lastChunk(row + x, stride);
    }
};

}  // namespace
}  // namespace pemblor::video::detail
