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

// Everything is forced inline so that each worker becomes one loop with its
// constants in registers.
#define PEMBLOR_KERNEL_INLINE inline __attribute__((always_inline))

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

    PEMBLOR_KERNEL_INLINE static Columns columns(const std::uint8_t* p) {
        const V v = Ops::load(p);
        return {Ops::evenBytes(v), Ops::oddBytes(v)};
    }

    // Element k: sum of (a - b)^2 over bytes 4k to 4k + 3.
    PEMBLOR_KERNEL_INLINE static V squaredDifference(const Columns& a, const Columns& b) {
        return Ops::addSquares(Ops::squares(Ops::sub16(a.even, b.even)), Ops::sub16(a.odd, b.odd));
    }

    // sum + squaredDifference(a, b), as a chain of multiply-adds.
    PEMBLOR_KERNEL_INLINE static V addSquaredDifference(V sum, const Columns& a, const Columns& b) {
        return Ops::addSquares(Ops::addSquares(sum, Ops::sub16(a.even, b.even)), Ops::sub16(a.odd, b.odd));
    }

    // Per lane: [x of block 0, x of block 1, y of block 0, y of block 1].
    PEMBLOR_KERNEL_INLINE static V blockTotals(V x, V y) { return Ops::pairSums(x, y); }

    // B < floor(6A / 8) and A > 32, element by element.
    PEMBLOR_KERNEL_INLINE static V mainVotes(V cross, V same) {
        const V six = Ops::add32(Ops::template shiftLeft32<1>(cross), Ops::template shiftLeft32<2>(cross));
        const V limit = Ops::template shiftRight32<3>(six);
        return Ops::and_(Ops::gt32(limit, same), Ops::gt32(cross, Ops::set32(32)));
    }

    PEMBLOR_KERNEL_INLINE static V lastVotes(V cross, V same) {
        return Ops::and_(Ops::gt32(cross, same), Ops::gt32(cross, Ops::set32(4)));
    }

    // [block 0, block 1] per lane in elements 0 and 1 -> a byte mask per block.
    PEMBLOR_KERNEL_INLINE static V byteMask(V perBlock) { return Ops::template shuffle32<kSpreadPair>(perBlock); }

    // A and B of one group from its four lines.
    PEMBLOR_KERNEL_INLINE static void group(const Columns& a, const Columns& b, const Columns& c, const Columns& d,
                                            V& cross, V& same) {
        cross = addSquaredDifference(squaredDifference(a, b), b, c);
        same = addSquaredDifference(squaredDifference(a, c), b, d);
    }

    // Written out group by group so that only four lines are live at a time
    // and everything stays in registers.
    PEMBLOR_KERNEL_INLINE static void mainChunk(std::uint8_t* top, std::ptrdiff_t stride) {
        const Columns l0 = columns(top);
        const Columns l1 = columns(top + stride);
        const Columns l2 = columns(top + 2 * stride);
        const Columns l3 = columns(top + 3 * stride);
        V cross0, same0, cross1, same1;
        group(l0, l1, l2, l3, cross0, same0);
        const Columns l4 = columns(top + 4 * stride);
        const Columns l5 = columns(top + 5 * stride);
        group(l2, l3, l4, l5, cross1, same1);
        const V votes01 = mainVotes(blockTotals(cross0, cross1), blockTotals(same0, same1));
        const Columns l6 = columns(top + 6 * stride);
        const Columns l7 = columns(top + 7 * stride);
        V cross2, same2, cross3, same3;
        group(l4, l5, l6, l7, cross2, same2);
        const Columns l8 = columns(top + 8 * stride);
        const Columns l9 = columns(top + 9 * stride);
        group(l6, l7, l8, l9, cross3, same3);
        const V votes = Ops::or_(votes01, mainVotes(blockTotals(cross2, cross3), blockTotals(same2, same3)));
        const V combed = Ops::or_(votes, Ops::template shuffle32<kSwapPairs>(votes));
        // No branch on the votes: in noisy pictures they are too random to predict.
        const V mask = byteMask(combed);
        for (int t = 0; t < 4; ++t) {
            const std::uint8_t* above = top + 2 * t * stride;
            const V average = Ops::floorAverage(Ops::load(above), Ops::load(above + 2 * stride));
            Ops::storeSelected(top + (2 * t + 1) * stride, mask, average);
        }
    }

    PEMBLOR_KERNEL_INLINE static void lastChunk(std::uint8_t* top, std::ptrdiff_t stride) {
        Columns l[7];
        for (int i = 0; i < 7; ++i) l[i] = columns(top + i * stride);
        // Running totals over the three groups.
        const V cross1 = squaredDifference(l[0], l[1]);
        const V cross2 = addSquaredDifference(cross1, l[2], l[3]);
        const V cross3 = addSquaredDifference(cross2, l[4], l[5]);
        const V same1 = squaredDifference(l[0], l[2]);
        const V same2 = addSquaredDifference(same1, l[2], l[4]);
        const V same3 = addSquaredDifference(same2, l[4], l[6]);
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
