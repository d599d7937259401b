// The de-interlacer on AVX-512: foundation, byte/word and vector neural network
// instructions, whose multiply-add with accumulation saves an add per square,
// and mask registers for the votes and for writing only the chosen blocks.
// This file is compiled for those and its entry is called only after a
// run-time check of the processor.
#include <immintrin.h>

// GCC 12 warns about the deliberately uninitialised temporaries in its own
// AVX-512 headers once they are inlined here.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

#include "video/deinterlace_columns.hpp"
#include "video/deinterlace_kernel.hpp"

namespace pemblor::video::detail {

namespace {

#define INLINE PEMBLOR_KERNEL_INLINE

struct Avx512Ops {
    using V = __m512i;
    using Votes = unsigned;   // one bit per 32-bit element
    using Blocks = __mmask8;  // one bit per 8-byte block
    static constexpr int kBytes = 64;

    INLINE static V load(const std::uint8_t* p) { return _mm512_loadu_si512(p); }
    INLINE static void store(std::uint8_t* p, V v) { _mm512_storeu_si512(p, v); }
    INLINE static V evenBytes(V v) { return _mm512_and_si512(v, _mm512_set1_epi16(0x00FF)); }
    INLINE static V oddBytes(V v) { return _mm512_srli_epi16(v, 8); }
    INLINE static V sub16(V a, V b) { return _mm512_sub_epi16(a, b); }
    // Pairs of 16-bit squares summed into 32-bit elements, alone or added to sum.
    INLINE static V squares(V d) { return _mm512_madd_epi16(d, d); }
    INLINE static V addSquares(V sum, V d) { return _mm512_dpwssd_epi32(sum, d, d); }
    INLINE static V add32(V a, V b) { return _mm512_add_epi32(a, b); }
    template <int N>
    INLINE static V shiftLeft32(V v) {
        return _mm512_slli_epi32(v, N);
    }
    template <int N>
    INLINE static V shiftRight32(V v) {
        return _mm512_srli_epi32(v, N);
    }
    INLINE static V set32(int v) { return _mm512_set1_epi32(v); }
    // Per 128-bit lane: [x0 + x1, x2 + x3, y0 + y1, y2 + y3]
    INLINE static V pairSums(V x, V y) {
        const __m512 fx = _mm512_castsi512_ps(x);
        const __m512 fy = _mm512_castsi512_ps(y);
        const V lo = _mm512_castps_si512(_mm512_shuffle_ps(fx, fy, _MM_SHUFFLE(2, 0, 2, 0)));
        const V hi = _mm512_castps_si512(_mm512_shuffle_ps(fx, fy, _MM_SHUFFLE(3, 1, 3, 1)));
        return _mm512_add_epi32(lo, hi);
    }
    INLINE static V roundUpAverage(V a, V b) { return _mm512_avg_epu8(a, b); }
    INLINE static V floorAverage(V a, V b) {
        // (a ^ b) & 1 in one ternary-logic instruction.
        const V odd = _mm512_ternarylogic_epi32(a, b, _mm512_set1_epi8(1), 0x28);
        return _mm512_sub_epi8(_mm512_avg_epu8(a, b), odd);
    }

    INLINE static Votes greater(V a, V b) { return _mm512_cmpgt_epi32_mask(a, b); }
    INLINE static Votes both(Votes a, Votes b) { return a & b; }
    INLINE static Votes either(Votes a, Votes b) { return a | b; }
    // Lane l holds blocks 2l and 2l + 1 in its bits 0 and 1; the other bits are clear.
    INLINE static Blocks blocksOfLanes(unsigned lanes) {
        return static_cast<Blocks>((lanes & 0x3u) | ((lanes >> 2) & 0xCu) | ((lanes >> 4) & 0x30u) |
                                   ((lanes >> 6) & 0xC0u));
    }
    // Per lane bits 0, 1: x of blocks 0, 1; bits 2, 3: y of the same blocks.
    INLINE static Blocks blocksWithEither(Votes v) { return blocksOfLanes((v | (v >> 2)) & 0x3333u); }
    INLINE static Blocks blocksWithTwoOfThree(Votes v12, Votes v3) {
        const unsigned first = v12 & 0x3333u;
        const unsigned second = (v12 >> 2) & 0x3333u;
        const unsigned third = v3 & 0x3333u;
        return blocksOfLanes((first & second) | ((first | second) & third));
    }
    INLINE static V choose(Blocks blocks, V yes, V no) { return _mm512_mask_blend_epi64(blocks, no, yes); }
    // Writes v into the chosen blocks; the other bytes are not touched.
    INLINE static void storeBlocks(std::uint8_t* p, Blocks blocks, V v) { _mm512_mask_storeu_epi64(p, blocks, v); }
};

#undef INLINE

}  // namespace

void deinterlaceColumnsAvx512(std::uint8_t* plane, int width, int height, int x0, int x1) {
    DeinterlaceKernel<Avx512Ops>::run(plane, width, height, x0, x1);
}

}  // namespace pemblor::video::detail
