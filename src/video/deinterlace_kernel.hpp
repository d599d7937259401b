#pragma once
// The vector de-interlacer, written once for any vector width. Included only by
// the SSE2, AVX2 and AVX-512 worker sources, each compiled for its own
// instruction set; everything here has internal linkage so that the workers
// never meet in the linker.
//
// Ops supplies the vector type V of Ops::kBytes bytes, seen as 128-bit lanes of
// two 8-column blocks each. Squared differences are taken on the 16-bit even
// and odd columns and folded with multiply-add, so a 32-bit element sums four
// neighbouring columns and a block is two elements; sums stay far below 2^31.
// Ops also decides how votes and chosen blocks are held (all-ones vector
// elements or mask registers) and how chosen blocks are written.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

// Everything is forced inline so that each worker becomes one loop with its
// constants in registers.
#define PEMBLOR_KERNEL_INLINE inline __attribute__((always_inline))

namespace pemblor::video::detail {
namespace {

// Votes and chosen blocks as all-ones vector elements, for instruction sets
// without mask registers. Derived supplies the vector primitives.
template <class Derived>
struct VectorVotes {
    static constexpr int kSwapPairs = _MM_SHUFFLE(1, 0, 3, 2);   // [v2, v3, v0, v1]
    static constexpr int kSpreadPair = _MM_SHUFFLE(1, 1, 0, 0);  // [v0, v0, v1, v1]

    template <class V>
    PEMBLOR_KERNEL_INLINE static V greater(V a, V b) {
        return Derived::gt32(a, b);
    }
    template <class V>
    PEMBLOR_KERNEL_INLINE static V both(V a, V b) {
        return Derived::and_(a, b);
    }
    template <class V>
    PEMBLOR_KERNEL_INLINE static V either(V a, V b) {
        return Derived::or_(a, b);
    }
    // Votes per lane [x of block 0, x of block 1, y of block 0, y of block 1]
    // -> the bytes of the blocks where x or y voted.
    template <class V>
    PEMBLOR_KERNEL_INLINE static V blocksWithEither(V v) {
        const V any = Derived::or_(v, Derived::template shuffle32<kSwapPairs>(v));
        return Derived::template shuffle32<kSpreadPair>(any);
    }
    // v12 per lane [first, first, second, second] and v3 [third, third, ...]
    // -> the bytes of the blocks where at least two of the three voted.
    template <class V>
    PEMBLOR_KERNEL_INLINE static V blocksWithTwoOfThree(V v12, V v3) {
        const V v21 = Derived::template shuffle32<kSwapPairs>(v12);
        const V two = Derived::or_(Derived::and_(v12, v21), Derived::and_(Derived::or_(v12, v21), v3));
        return Derived::template shuffle32<kSpreadPair>(two);
    }
    template <class V>
    PEMBLOR_KERNEL_INLINE static V choose(V blocks, V yes, V no) {
        return Derived::select(blocks, yes, no);
    }
    // Writes v into the chosen blocks and keeps the bytes elsewhere.
    template <class V>
    PEMBLOR_KERNEL_INLINE static void storeBlocks(std::uint8_t* p, V blocks, V v) {
        Derived::store(p, Derived::select(blocks, v, Derived::load(p)));
    }
};

template <class Ops>
struct DeinterlaceKernel {
    using V = typename Ops::V;

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

    // B < floor(6A / 8) and A > 32, element by element; floor(6A / 8) is floor(3A / 4).
    PEMBLOR_KERNEL_INLINE static auto mainVotes(V cross, V same) {
        const V limit = Ops::template shiftRight32<2>(Ops::add32(cross, Ops::template shiftLeft32<1>(cross)));
        return Ops::both(Ops::greater(limit, same), Ops::greater(cross, Ops::set32(32)));
    }

    PEMBLOR_KERNEL_INLINE static auto lastVotes(V cross, V same) {
        return Ops::both(Ops::greater(cross, same), Ops::greater(cross, Ops::set32(4)));
    }

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
        const auto votes01 = mainVotes(blockTotals(cross0, cross1), blockTotals(same0, same1));
        const Columns l6 = columns(top + 6 * stride);
        const Columns l7 = columns(top + 7 * stride);
        V cross2, same2, cross3, same3;
        group(l4, l5, l6, l7, cross2, same2);
        const Columns l8 = columns(top + 8 * stride);
        const Columns l9 = columns(top + 9 * stride);
        group(l6, l7, l8, l9, cross3, same3);
        const auto votes23 = mainVotes(blockTotals(cross2, cross3), blockTotals(same2, same3));
        // No branch on the votes: in noisy pictures they are too random to predict.
        const auto blocks = Ops::blocksWithEither(Ops::either(votes01, votes23));
        const V even0 = Ops::load(top);
        const V even2 = Ops::load(top + 2 * stride);
        const V even4 = Ops::load(top + 4 * stride);
        const V even6 = Ops::load(top + 6 * stride);
        const V even8 = Ops::load(top + 8 * stride);
        Ops::storeBlocks(top + stride, blocks, Ops::floorAverage(even0, even2));
        Ops::storeBlocks(top + 3 * stride, blocks, Ops::floorAverage(even2, even4));
        Ops::storeBlocks(top + 5 * stride, blocks, Ops::floorAverage(even4, even6));
        Ops::storeBlocks(top + 7 * stride, blocks, Ops::floorAverage(even6, even8));
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
        const auto blend = Ops::blocksWithTwoOfThree(lastVotes(blockTotals(cross1, cross2), blockTotals(same1, same2)),
                                                     lastVotes(blockTotals(cross3, cross3), blockTotals(same3, same3)));
        for (int t = 0; t < 3; ++t) {
            const std::uint8_t* above = top + 2 * t * stride;
            const V mid = Ops::load(above + stride);
            const V average = Ops::floorAverage(Ops::load(above), Ops::load(above + 2 * stride));
            // (a + 2b + c + 2) >> 2 is the round-up average of floor((a + c) / 2) and b.
            const V threeTap = Ops::roundUpAverage(average, mid);
            Ops::store(top + (2 * t + 1) * stride, Ops::choose(blend, threeTap, average));
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
