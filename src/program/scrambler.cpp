#include "program/scrambler.hpp"

#include <algorithm>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace pemblor::program {

namespace {

std::uint8_t key(unsigned k, unsigned c) { return static_cast<std::uint8_t>(kScramblerKeys[k][c]); }

// Everything in the transform that depends on the offset's low 16 bits, laid
// out by those bits so that a run of offsets reads both tables contiguously.
// The high bits only add (b2 + b3), which is constant over 64 KiB.
struct KeyTables {
    alignas(64) std::array<std::uint8_t, 0x10000> xorKey;  // K[i >> 5][i & 31]
    alignas(64) std::array<std::uint8_t, 0x10000> addKey;  // K[i & 7][h & 31] + K[h & 7][i & 31]
};

KeyTables buildTables() {
    KeyTables t{};
    for (unsigned low = 0; low < 0x10000; ++low) {
        const unsigned i = low & 0xFF;
        const unsigned h = low >> 8;
        t.xorKey[low] = key(i >> 5, i & 31);
        t.addKey[low] = static_cast<std::uint8_t>(key(i & 7, h & 31) + key(h & 7, i & 31));
    }
    return t;
}

const KeyTables& keyTables() {
    static const KeyTables tables = buildTables();
    return tables;
}

std::uint8_t highAdd(std::uint32_t n) { return static_cast<std::uint8_t>((n >> 16) + (n >> 24)); }

#if defined(__SSE2__)
inline __m128i load128(const std::uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
#endif

// One run of offsets that shares bits 16 to 31: x, k, a point at the bytes
// and at the two tables at the run's first offset.
template <bool kForward>
void transformRun(std::uint8_t* x, const std::uint8_t* k, const std::uint8_t* a, std::size_t n,
                  std::uint8_t high) {
    std::size_t j = 0;
#if defined(__SSE2__)
    const __m128i h = _mm_set1_epi8(static_cast<char>(high));
    for (; j + 32 <= n; j += 32) {
        __m128i x0 = load128(x + j), x1 = load128(x + j + 16);
        const __m128i a0 = _mm_add_epi8(load128(a + j), h), a1 = _mm_add_epi8(load128(a + j + 16), h);
        const __m128i k0 = load128(k + j), k1 = load128(k + j + 16);
        if constexpr (kForward) {
            x0 = _mm_add_epi8(_mm_xor_si128(x0, k0), a0);
            x1 = _mm_add_epi8(_mm_xor_si128(x1, k1), a1);
        } else {
            x0 = _mm_xor_si128(_mm_sub_epi8(x0, a0), k0);
            x1 = _mm_xor_si128(_mm_sub_epi8(x1, a1), k1);
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(x + j), x0);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(x + j + 16), x1);
    }
#endif
    for (; j < n; ++j) {
        const auto add = static_cast<std::uint8_t>(a[j] + high);
        if constexpr (kForward)
            x[j] = static_cast<std::uint8_t>((x[j] ^ k[j]) + add);
        else
            x[j] = static_cast<std::uint8_t>((x[j] - add) ^ k[j]);
    }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define PEMBLOR_SCRAMBLER_AVX2 1
__attribute__((target("avx2"))) inline __m256i load256(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// The same run, 64 bytes a step, on processors that have AVX2.
template <bool kForward>
__attribute__((target("avx2"))) void transformRunAvx2(std::uint8_t* x, const std::uint8_t* k, const std::uint8_t* a,
                                                      std::size_t n, std::uint8_t high) {
    std::size_t j = 0;
    const __m256i h = _mm256_set1_epi8(static_cast<char>(high));
    for (; j + 64 <= n; j += 64) {
        __m256i x0 = load256(x + j), x1 = load256(x + j + 32);
        const __m256i a0 = _mm256_add_epi8(load256(a + j), h), a1 = _mm256_add_epi8(load256(a + j + 32), h);
        const __m256i k0 = load256(k + j), k1 = load256(k + j + 32);
        if constexpr (kForward) {
            x0 = _mm256_add_epi8(_mm256_xor_si256(x0, k0), a0);
            x1 = _mm256_add_epi8(_mm256_xor_si256(x1, k1), a1);
        } else {
            x0 = _mm256_xor_si256(_mm256_sub_epi8(x0, a0), k0);
            x1 = _mm256_xor_si256(_mm256_sub_epi8(x1, a1), k1);
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(x + j), x0);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(x + j + 32), x1);
    }
    transformRun<kForward>(x + j, k + j, a + j, n - j, high);
}

bool haveAvx2() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}
#endif

template <bool kForward>
void transform(std::span<std::uint8_t> bytes, std::uint32_t startOffset) {
    const KeyTables& t = keyTables();
#if PEMBLOR_SCRAMBLER_AVX2
    const auto runner = haveAvx2() ? &transformRunAvx2<kForward> : &transformRun<kForward>;
#else
    const auto runner = &transformRun<kForward>;
#endif
    std::uint32_t n = startOffset;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::uint32_t low = n & 0xFFFF;
        const std::size_t run = std::min<std::size_t>(bytes.size() - done, 0x10000 - low);
        runner(bytes.data() + done, t.xorKey.data() + low, t.addKey.data() + low, run, highAdd(n));
        done += run;
        n += static_cast<std::uint32_t>(run);  // wraps after 4 GiB, as the offset does
    }
}

}  // namespace

void scramble(std::span<std::uint8_t> bytes, std::uint32_t startOffset) { transform<true>(bytes, startOffset); }

void unscramble(std::span<std::uint8_t> bytes, std::uint32_t startOffset) {
    transform<false>(bytes, startOffset);
}

std::uint8_t scrambleByte(std::uint8_t x, std::uint32_t n) {
    const unsigned i = n & 0xFF, h = (n >> 8) & 0xFF, b2 = (n >> 16) & 0xFF, b3 = (n >> 24) & 0xFF;
    return static_cast<std::uint8_t>((x ^ key(i >> 5, i & 31)) + key(i & 7, h & 31) + key(h & 7, i & 31) + b2 +
                                     b3);
}

std::uint8_t unscrambleByte(std::uint8_t y, std::uint32_t n) {
    const unsigned i = n & 0xFF, h = (n >> 8) & 0xFF, b2 = (n >> 16) & 0xFF, b3 = (n >> 24) & 0xFF;
    return static_cast<std::uint8_t>(
        static_cast<std::uint8_t>(y - key(i & 7, h & 31) - key(h & 7, i & 31) - b2 - b3) ^ key(i >> 5, i & 31));
}

void scrambleBytewise(std::span<std::uint8_t> bytes, std::uint32_t startOffset) {
    for (std::size_t j = 0; j < bytes.size(); ++j)
        bytes[j] = scrambleByte(bytes[j], startOffset + static_cast<std::uint32_t>(j));
}

void unscrambleBytewise(std::span<std::uint8_t> bytes, std::uint32_t startOffset) {
    for (std::size_t j = 0; j < bytes.size(); ++j)
        bytes[j] = unscrambleByte(bytes[j], startOffset + static_cast<std::uint32_t>(j));
}

}  // namespace pemblor::program
