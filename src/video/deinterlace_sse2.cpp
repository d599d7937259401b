// The de-interlacer on SSE2, which every x86-64 processor has.
#include <emmintrin.h>

#include "video/deinterlace_columns.hpp"
#include "video/deinterlace_kernel.hpp"

namespace pemblor::video::detail {

namespace {

#define INLINE PEMBLOR_KERNEL_INLINE

struct Sse2Ops : VectorVotes<Sse2Ops> {
    using V = __m128i;
    static constexpr int kBytes = 16;

    INLINE static V load(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const V*>(p)); }
    INLINE static void store(std::uint8_t* p, V v) { _mm_storeu_si128(reinterpret_cast<V*>(p), v); }
    INLINE static V evenBytes(V v) { return _mm_and_si128(v, _mm_set1_epi16(0x00FF)); }
    INLINE static V oddBytes(V v) { return _mm_srli_epi16(v, 8); }
    INLINE static V sub16(V a, V b) { return _mm_sub_epi16(a, b); }
    // Pairs of 16-bit squares summed into 32-bit elements, alone or added to sum.
    INLINE static V squares(V d) { return _mm_madd_epi16(d, d); }
    INLINE static V addSquares(V sum, V d) { return _mm_add_epi32(sum, _mm_madd_epi16(d, d)); }
    INLINE static V add32(V a, V b) { return _mm_add_epi32(a, b); }
    template <int N>
    INLINE static V shiftLeft32(V v) {
        return _mm_slli_epi32(v, N);
    }
    template <int N>
    INLINE static V shiftRight32(V v) {
        return _mm_srli_epi32(v, N);
    }
    INLINE static V gt32(V a, V b) { return _mm_cmpgt_epi32(a, b); }
    INLINE static V set32(int v) { return _mm_set1_epi32(v); }
    INLINE static V and_(V a, V b) { return _mm_and_si128(a, b); }
    INLINE static V or_(V a, V b) { return _mm_or_si128(a, b); }
    template <int Imm>
    INLINE static V shuffle32(V v) {
        return _mm_shuffle_epi32(v, Imm);
    }
    // [x0 + x1, x2 + x3, y0 + y1, y2 + y3]
    INLINE static V pairSums(V x, V y) {
        const __m128 fx = _mm_castsi128_ps(x);
        const __m128 fy = _mm_castsi128_ps(y);
        const V lo = _mm_castps_si128(_mm_shuffle_ps(fx, fy, _MM_SHUFFLE(2, 0, 2, 0)));
        const V hi = _mm_castps_si128(_mm_shuffle_ps(fx, fy, _MM_SHUFFLE(3, 1, 3, 1)));
        return _mm_add_epi32(lo, hi);
    }
    INLINE static V roundUpAverage(V a, V b) { return _mm_avg_epu8(a, b); }
    INLINE static V floorAverage(V a, V b) {
        return _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), _mm_set1_epi8(1)));
    }
    INLINE static V select(V mask, V yes, V no) {
        return _mm_xor_si128(no, _mm_and_si128(_mm_xor_si128(no, yes), mask));
    }
};

#undef INLINE

}  // namespace

void deinterlaceColumnsSse2(std::uint8_t* plane, int width, int height, int x0, int x1) {
    DeinterlaceKernel<Sse2Ops>::run(plane, width, height, x0, x1);
}

}  // namespace pemblor::video::detail
