#include "video/deinterlace.hpp"

#include "video/deinterlace_columns.hpp"

namespace pemblor::video {

namespace {

constexpr int kSseBytes = 16;
constexpr int kAvxBytes = 32;
constexpr int kAvx512Bytes = 64;

// Sum over the 8 columns of a block of the squared differences of two lines.
std::uint32_t squaredDifference(const std::uint8_t* a, const std::uint8_t* b) {
    std::uint32_t sum = 0;
    for (int x = 0; x < kDeinterlaceBlock; ++x) {
        const int d = a[x] - b[x];
        sum += static_cast<std::uint32_t>(d * d);
    }
    return sum;
}

// Main pass: does any of the block's four groups look combed? The last group
// reads the first two lines of the strip below.
bool mainBlockCombed(const std::uint8_t* top, std::ptrdiff_t stride) {
    for (int g = 0; g < 4; ++g) {
        const std::uint8_t* r0 = top + 2 * g * stride;
        const std::uint8_t* r1 = r0 + stride;
        const std::uint8_t* r2 = r1 + stride;
        const std::uint8_t* r3 = r2 + stride;
        const std::uint32_t cross = squaredDifference(r0, r1) + squaredDifference(r1, r2);
        const std::uint32_t same = squaredDifference(r0, r2) + squaredDifference(r1, r3);
        if (same < cross * 6 / 8 && cross > 32) return true;
    }
    return false;
}

// Last strip: do at least two of its three groups vote, on running totals?
bool lastBlockCombed(const std::uint8_t* top, std::ptrdiff_t stride) {
    std::uint32_t cross = 0;
    std::uint32_t same = 0;
    int votes = 0;
    for (int g = 0; g < 3; ++g) {
        const std::uint8_t* r = top + 2 * g * stride;
        cross += squaredDifference(r, r + stride);
        same += squaredDifference(r, r + 2 * stride);
        if (same < cross && cross > 4) ++votes;
    }
    return votes >= 2;
}

}  // namespace

bool deinterlaceGeometryValid(int width, int height) {
    return width >= kDeinterlaceBlock && width % kDeinterlaceBlock == 0 && height >= 2 * kDeinterlaceBlock &&
           height % kDeinterlaceBlock == 0;
}

void lineAverage(std::uint8_t* dst, std::ptrdiff_t dstStride, const std::uint8_t* src, std::ptrdiff_t srcStride) {
    for (int t = 0; t < 4; ++t) {
        const std::uint8_t* above = src + 2 * t * srcStride;
        const std::uint8_t* below = above + 2 * srcStride;
        std::uint8_t* even = dst + 2 * t * dstStride;
        std::uint8_t* odd = even + dstStride;
        for (int x = 0; x < kDeinterlaceBlock; ++x) {
            even[x] = above[x];
            odd[x] = static_cast<std::uint8_t>((above[x] + below[x]) >> 1);
        }
    }
}

void threeTapBlend(std::uint8_t* dst, std::ptrdiff_t dstStride, const std::uint8_t* src, std::ptrdiff_t srcStride,
                   int width, int lines) {
    const int pairs = lines / 2;
    for (int t = 0; t < pairs; ++t) {
        const std::uint8_t* l0 = src + 2 * t * srcStride;
        const std::uint8_t* l1 = l0 + srcStride;
        std::uint8_t* even = dst + 2 * t * dstStride;
        std::uint8_t* odd = even + dstStride;
        const bool last = t == pairs - 1;
        for (int x = 0; x < width; ++x) {
            const int a = l0[x];
            const int b = l1[x];
            even[x] = static_cast<std::uint8_t>(a);
            odd[x] = static_cast<std::uint8_t>(last ? (a + b) >> 1 : (a + 2 * b + l1[srcStride + x] + 2) >> 2);
        }
    }
}

void twoTapAverage(std::uint8_t* dst, std::ptrdiff_t dstStride, const std::uint8_t* src, std::ptrdiff_t srcStride,
                   int width, int lines) {
    const int pairs = lines / 2;
    for (int t = 0; t < pairs; ++t) {
        const std::uint8_t* l0 = src + 2 * t * srcStride;
        const std::uint8_t* l1 = l0 + srcStride;
        std::uint8_t* even = dst + 2 * t * dstStride;
        std::uint8_t* odd = even + dstStride;
        const bool last = t == pairs - 1;
        for (int x = 0; x < width; ++x) {
            const int a = l0[x];
            even[x] = static_cast<std::uint8_t>(a);
            odd[x] = static_cast<std::uint8_t>((a + (last ? l1[x] : l1[srcStride + x])) >> 1);
        }
    }
}

namespace detail {

void deinterlaceColumnsScalar(std::uint8_t* plane, int width, int height, int x0, int x1) {
    const std::ptrdiff_t stride = width;
    const int lastTop = height - kDeinterlaceBlock;
    for (int y = 0; y < lastTop; y += kDeinterlaceBlock) {
        for (int x = x0; x < x1; x += kDeinterlaceBlock) {
            std::uint8_t* block = plane + y * stride + x;
            if (mainBlockCombed(block, stride)) lineAverage(block, stride, block, stride);
        }
    }
    for (int x = x0; x < x1; x += kDeinterlaceBlock) {
        std::uint8_t* block = plane + lastTop * stride + x;
        if (lastBlockCombed(block, stride)) {
            threeTapBlend(block, stride, block, stride, kDeinterlaceBlock, kDeinterlaceBlock);
        } else {
            twoTapAverage(block, stride, block, stride, kDeinterlaceBlock, kDeinterlaceBlock);
        }
    }
}

}  // namespace detail

bool deinterlace(std::span<std::uint8_t> plane, int width, int height, SimdLevel level) {
    if (!deinterlaceGeometryValid(width, height) || !simdLevelAvailable(level)) return false;
    if (plane.size() / static_cast<std::size_t>(width) < static_cast<std::size_t>(height)) return false;
    // The widest worker takes as many columns as it can, narrower ones the rest.
    std::uint8_t* p = plane.data();
    int x = 0;
    const auto take = [&](int bytes, auto worker) {
        const int end = x + (width - x) / bytes * bytes;
        if (end > x) worker(p, width, height, x, end);
        x = end;
    };
    if (level == SimdLevel::Avx512) take(kAvx512Bytes, detail::deinterlaceColumnsAvx512);
    if (level >= SimdLevel::Avx2) take(kAvxBytes, detail::deinterlaceColumnsAvx2);
    if (level >= SimdLevel::Sse2) take(kSseBytes, detail::deinterlaceColumnsSse2);
    if (x < width) detail::deinterlaceColumnsScalar(p, width, height, x, width);
    return true;
}

bool deinterlace(std::span<std::uint8_t> plane, int width, int height) {
    return deinterlace(plane, width, height, bestSimdLevel());
}

}  // namespace pemblor::video
