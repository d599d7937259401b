// The vector de-interlacers give the scalar reference's bytes, on thousands of
// generated pictures, and stay inside the plane.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "picture_generators.hpp"
#include "video/deinterlace.hpp"

namespace pemblor::video {
namespace {

using testing::kAllPictureKinds;
using testing::makePicture;
using testing::PictureKind;
using Plane = std::vector<std::uint8_t>;

class DeinterlaceSimd : public ::testing::TestWithParam<SimdLevel> {
protected:
    void SetUp() override {
        if (!simdLevelAvailable(GetParam())) GTEST_SKIP() << "this processor cannot run " << simdLevelName(GetParam());
    }

    // Plane vectors are exactly the plane's size, so AddressSanitizer sees any
    // read past the last line.
    void expectSameAsScalar(const Plane& in, int width, int height, const std::string& what) {
        Plane want = in;
        ASSERT_TRUE(deinterlace(want, width, height, SimdLevel::Scalar));
        Plane got = in;
        ASSERT_TRUE(deinterlace(got, width, height, GetParam()));
        if (got == want) return;
        for (std::size_t i = 0; i < got.size(); ++i) {
            if (got[i] != want[i]) {
                FAIL() << what << ": first difference at line " << i / width << ", column " << i % width << ": "
                       << int(got[i]) << " instead of " << int(want[i]);
            }
        }
    }
};

std::string kindName(PictureKind kind) {
    return std::to_string(static_cast<int>(kind));
}

TEST_P(DeinterlaceSimd, FullSizePicturesOfEveryKindAndBothHeights) {
    int pictures = 0;
    for (int height : {kFullSizePalHeight, kFullSizeNtscHeight}) {
        for (PictureKind kind : kAllPictureKinds) {
            for (std::uint32_t seed = 1; seed <= 6; ++seed) {
                const Plane in = makePicture(kind, kFullSizeWidth, height, seed * 977 + height);
                expectSameAsScalar(
                    in, kFullSizeWidth, height,
                    "kind " + kindName(kind) + " seed " + std::to_string(seed) + " height " + std::to_string(height));
                ++pictures;
            }
        }
    }
    EXPECT_EQ(pictures, 2 * 7 * 6);
}

// Widths that leave 8, 16 and 24 columns past the last full vector, so the
// narrower workers take over mid-line.
TEST_P(DeinterlaceSimd, ThousandsOfSmallPicturesWithEveryTail) {
    std::mt19937 rng(2024);
    std::uniform_int_distribution<int> blocksWide(1, 24);
    std::uniform_int_distribution<int> blocksHigh(2, 9);
    int pictures = 0;
    for (int i = 0; i < 3000; ++i) {
        const PictureKind kind = kAllPictureKinds[i % std::size(kAllPictureKinds)];
        const int width = 8 * blocksWide(rng);
        const int height = 8 * blocksHigh(rng);
        const Plane in = makePicture(kind, width, height, static_cast<std::uint32_t>(i));
        expectSameAsScalar(in, width, height,
                           "picture " + std::to_string(i) + " " + std::to_string(width) + "x" + std::to_string(height));
        if (HasFatalFailure() || HasNonfatalFailure()) return;
        ++pictures;
    }
    EXPECT_EQ(pictures, 3000);
}

TEST_P(DeinterlaceSimd, WritesNothingAfterThePlane) {
    for (int height : {kFullSizePalHeight, kFullSizeNtscHeight}) {
        const std::size_t plane = std::size_t{kFullSizeWidth} * height;
        Plane buffer = makePicture(PictureKind::CombingMotion, kFullSizeWidth, height, 5);
        buffer.resize(plane + 4096);
        for (std::size_t i = plane; i < buffer.size(); ++i) buffer[i] = static_cast<std::uint8_t>(0xA5 ^ i);
        const Plane before = buffer;
        ASSERT_TRUE(deinterlace(std::span(buffer).first(plane), kFullSizeWidth, height, GetParam()));
        EXPECT_TRUE(std::equal(buffer.begin() + plane, buffer.end(), before.begin() + plane)) << height;
        EXPECT_NE(buffer, before) << "the combed picture was filtered";
    }
}

// The generated pictures do reach the exact thresholds, so the comparisons
// above test the strict comparisons, not just easy cases.
TEST(DeinterlaceInputs, GeneratedPicturesHitTheThresholdsExactly) {
    int aAt32 = 0;
    int bAtLimit = 0;
    for (std::uint32_t seed = 1; seed <= 6; ++seed) {
        for (PictureKind kind : {PictureKind::LowNoise, PictureKind::Thresholds}) {
            const Plane p = makePicture(kind, kFullSizeWidth, kFullSizePalHeight, seed * 977 + kFullSizePalHeight);
            for (int r = 0; r <= kFullSizePalHeight - 10; r += 2) {
                for (int x = 0; x < kFullSizeWidth; x += 8) {
                    const auto s = testing::mainGroupSums(p.data(), kFullSizeWidth, x, r);
                    aAt32 += s.cross == 32;
                    bAtLimit += s.cross > 32 && s.same == s.cross * 6 / 8;
                }
            }
        }
    }
    EXPECT_GT(aAt32, 100);
    EXPECT_GT(bAtLimit, 100);
}

INSTANTIATE_TEST_SUITE_P(Levels, DeinterlaceSimd,
                         ::testing::Values(SimdLevel::Sse2, SimdLevel::Avx2, SimdLevel::Avx512),
                         [](const auto& info) { return std::string(simdLevelName(info.param)); });

TEST(SimdLevels, NamesRoundTripAndTheBestIsAvailable) {
    for (SimdLevel l : kAllSimdLevels) EXPECT_EQ(parseSimdLevel(simdLevelName(l)), l);
    EXPECT_FALSE(parseSimdLevel("avx"));
    EXPECT_TRUE(simdLevelAvailable(bestSimdLevel()));
    for (SimdLevel l : kAllSimdLevels) {
        EXPECT_TRUE(!simdLevelAvailable(l) || bestSimdLevel() >= l) << simdLevelName(l);
    }
}

}  // namespace
}  // namespace pemblor::video
