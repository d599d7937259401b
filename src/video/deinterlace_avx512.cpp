// The de-interlacer on AVX-512 (foundation and byte/word instructions). This
// file is compiled for those and its entry is called only after a run-time
// check of the processor.
#include <immintrin.h>

// GCC 12 warns about the deliberately uninitialised temporaries in its own
// AVX-512 headers once they are inlined here.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

#include "video/deinterlace_columns.hpp"
#include "video/deinterlace_kernel.hpp"

namespace pemblor::video::detail {

namespace {

// Comparisons give mask registers here; the kernel wants all-ones elements.
struct Avx512Ops {
    using V = __m512i;
    static constexpr int kBytes = 64;
    static constexpr int kAllMask32 = 0xFFFF;

    PEMBLOR_KERNEL_INLINE static V load(const std::uint8_t* p) { return _mm512_loadu_si512(p); }
    PEMBLOR_KERNEL_INLINE static void store(std::uint8_t* p, V v) { _mm512_storeu_si512(p, v); }
    PEMBLOR_KERNEL_INLINE static V evenBytes(V v) { return _mm512_and_si512(v, _mm512_set1_epi16(0x00FF)); }
    PEMBLOR_KERNEL_INLINE static V oddBytes(V v) { return _mm512_srli_epi16(v, 8); }
    PEMBLOR_KERNEL_INLINE static V sub16(V a, V b) { return _mm512_sub_epi16(a, b); }
    // Pairs of 16-bit squares summed into 32-bit elements, alone or added to sum.
    PEMBLOR_KERNEL_INLINE static V squares(V d) { return _mm512_madd_epi16(d, d); }
#ifdef __AVX512VNNI__
    PEMBLOR_KERNEL_INLINE static V addSquares(V sum, V d) { return _mm512_dpwssd_epi32(sum, d, d); }
#else
    PEMBLOR_KERNEL_INLINE static V addSquares(V sum, V d) { return _mm512_add_epi32(sum, _mm512_madd_epi16(d, d)); }
#endif
    PEMBLOR_KERNEL_INLINE static V add32(V a, V b) { return _mm512_add_epi32(a, b); }
    template <int N>
    PEMBLOR_KERNEL_INLINE static V shiftLeft32(V v) { return _mm512_slli_epi32(v, N); }
    template <int N>
    PEMBLOR_KERNEL_INLINE static V shiftRight32(V v) { return _mm512_srli_epi32(v, N); }
    PEMBLOR_KERNEL_INLINE static V gt32(V a, V b) {
        return _mm512_maskz_set1_epi32(_mm512_cmpgt_epi32_mask(a, b), -1);
    }
    PEMBLOR_KERNEL_INLINE static V set32(int v) { return _mm512_set1_epi32(v); }
    PEMBLOR_KERNEL_INLINE static V and_(V a, V b) { return _mm512_and_si512(a, b); }
    PEMBLOR_KERNEL_INLINE static V or_(V a, V b) { return _mm512_or_si512(a, b); }
    template <int Imm>
    PEMBLOR_KERNEL_INLINE static V shuffle32(V v) { return _mm512_shuffle_epi32(v, static_cast<_MM_PERM_ENUM>(Imm)); }
    // Per 128-bit lane: [x0 + x1, x2 + x3, y0 + y1, y2 + y3]
    PEMBLOR_KERNEL_INLINE static V pairSums(V x, V y) {
        const __m512 fx = _mm512_castsi512_ps(x);
        const __m512 fy = _mm512_castsi512_ps(y);
        const V lo = _mm512_castps_si512(_mm512_shuffle_ps(fx, fy, _MM_SHUFFLE(2, 0, 2, 0)));
        const V hi = _mm512_castps_si512(_mm512_shuffle_ps(fx, fy, _MM_SHUFFLE(3, 1, 3, 1)));
        return _mm512_add_epi32(lo, hi);
    }
    PEMBLOR_KERNEL_INLINE static int mask32(V v) { return _mm512_cmplt_epi32_mask(v, _mm512_setzero_si512()); }
    PEMBLOR_KERNEL_INLINE static V roundUpAverage(V a, V b) { return _mm512_avg_epu8(a, b); }
    PEMBLOR_KERNEL_INLINE static V floorAverage(V a, V b) {
        // (a ^ b) & 1 in one ternary-logic instruction.
        const V odd = _mm512_ternarylogic_epi32(a, b, _mm512_set1_epi8(1), 0x28);
        return _mm512_sub_epi8(_mm512_avg_epu8(a, b), odd);
    }
    PEMBLOR_KERNEL_INLINE static V select(V mask, V yes, V no) {
        return _mm512_mask_blend_epi8(_mm512_movepi8_mask(mask), no, yes);
    }
    // Writes v where mask is set; the other bytes are not touched.
    PEMBLOR_KERNEL_INLINE static void storeSelected(std::uint8_t* p, V mask, V v) {
        _mm512_mask_storeu_epi8(p, _mm512_movepi8_mask(mask), v);
    }
};

}  // namespace

void deinterlaceColumnsAvx512(std::uint8_t* plane, int width, int height, int x0, int x1) {
    DeinterlaceKernel<Avx512Ops>::run(plane, width, height, x0, x1);
}

}  // namespace pemblor::video::detail
