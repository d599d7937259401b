// What the de-interlacer does, checked on hand-made pictures at every
// instruction-set level this machine runs.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

#include "picture_generators.hpp"
#include "video/deinterlace.hpp"

namespace pemblor::video {
namespace {

using testing::applyPattern;
using testing::kThresholdPatterns;
using testing::mainGroupSums;
using Plane = std::vector<std::uint8_t>;

constexpr int kW = kFullSizeWidth;

std::vector<SimdLevel> levels() {
    std::vector<SimdLevel> out;
    for (SimdLevel l : kAllSimdLevels) {
        if (simdLevelAvailable(l)) out.push_back(l);
    }
    return out;
}

std::uint8_t& at(Plane& p, int y, int x, int width = kW) {
    return p[static_cast<std::size_t>(y) * width + x];
}
int at(const Plane& p, int y, int x, int width = kW) {
    return p[static_cast<std::size_t>(y) * width + x];
}

Plane run(Plane p, int height, SimdLevel level, int width = kW) {
    EXPECT_TRUE(deinterlace(p, width, height, level));
    return p;
}

// ---------------------------------------------------------------- block filters

TEST(BlockFilters, LineAveragingReadsTheLineBelowAndRoundsDown) {
    // 9 lines x 8 columns: line 8 is the first line below the block.
    std::array<std::uint8_t, 9 * 8> b{};
    for (int y = 0; y < 9; ++y) {
        for (int x = 0; x < 8; ++x) b[y * 8 + x] = static_cast<std::uint8_t>(y % 2 ? 200 : 10 * y + x);
    }
    lineAverage(b.data(), 8, b.data(), 8);
    for (int x = 0; x < 8; ++x) {
        EXPECT_EQ(b[1 * 8 + x], (0 + x + 20 + x) >> 1);
        EXPECT_EQ(b[7 * 8 + x], (60 + x + 80 + x) >> 1) << "the last pair averages lines 6 and 8";
        EXPECT_EQ(b[8 * 8 + x], 80 + x) << "line 8 is read, never written";
    }
    std::array<std::uint8_t, 9 * 8> odd{};
    odd.fill(1);
    odd[0] = 0;  // (0 + 1) >> 1 == 0: rounds down
    odd[2 * 8] = 1;
    lineAverage(odd.data(), 8, odd.data(), 8);
    EXPECT_EQ(odd[8], 0);
}

TEST(BlockFilters, ThreeTapBlendRoundsAndEndsWithTheTwoLastLines) {
    // Columns: (a, b, c) -> (a + 2b + c + 2) >> 2; the +2 decides columns 0 and 1.
    const std::array<std::array<int, 3>, 4> cols{{{0, 0, 2}, {0, 1, 0}, {255, 255, 255}, {255, 0, 254}}};
    constexpr int kWidth = 4;
    std::array<std::uint8_t, 4 * kWidth> b{};  // 4 lines: pairs (0,1) and (2,3)
    for (int x = 0; x < kWidth; ++x) {
        b[0 * kWidth + x] = static_cast<std::uint8_t>(cols[x][0]);
        b[1 * kWidth + x] = static_cast<std::uint8_t>(cols[x][1]);
        b[2 * kWidth + x] = static_cast<std::uint8_t>(cols[x][2]);
        b[3 * kWidth + x] = 7;
    }
    threeTapBlend(b.data(), kWidth, b.data(), kWidth, kWidth, 4);
    EXPECT_EQ(b[kWidth + 0], 1);  // (0 + 0 + 2 + 2) >> 2
    EXPECT_EQ(b[kWidth + 1], 1);  // (0 + 2 + 0 + 2) >> 2
    EXPECT_EQ(b[kWidth + 2], 255);
    EXPECT_EQ(b[kWidth + 3], (255 + 0 + 254 + 2) >> 2);
    for (int x = 0; x < kWidth; ++x) EXPECT_EQ(b[3 * kWidth + x], (cols[x][2] + 7) >> 1) << x;
}

TEST(BlockFilters, TwoTapAverageRoundsDownAndEndsWithTheTwoLastLines) {
    constexpr int kWidth = 3;
    const std::array<std::uint8_t, 6 * kWidth> in{
        1, 0, 255,  // line 0
        9, 9, 9,    // line 1
        2, 1, 254,  // line 2
        9, 9, 9,    // line 3
        5, 5, 5,    // line 4
        6, 0, 250,  // line 5
    };
    std::array<std::uint8_t, 6 * kWidth> out{};
    twoTapAverage(out.data(), kWidth, in.data(), kWidth, kWidth, 6);
    const std::array<std::uint8_t, 6 * kWidth> want{
        1, 0, 255, 1, 0, 254,  // lines 0, 1: (1+2)>>1, (0+1)>>1, (255+254)>>1
        2, 1, 254, 3, 3, 129,  // lines 2, 3
        5, 5, 5,   5, 2, 127,  // lines 4, 5: last pair averages lines 4 and 5
    };
    EXPECT_EQ(out, want) << "a separate destination also receives the even lines";
}

// ---------------------------------------------------------------- whole planes

TEST(Deinterlace, RejectsBadGeometryAndShortPlanesWithoutTouchingThem) {
    Plane p(kW * 576, 77);
    for (SimdLevel level : levels()) {
        EXPECT_FALSE(deinterlace(p, 0, 576, level));
        EXPECT_FALSE(deinterlace(p, 700, 576, level));
        EXPECT_FALSE(deinterlace(p, kW, 8, level)) << "needs a main strip and the last strip";
        EXPECT_FALSE(deinterlace(p, kW, 570, level));
        EXPECT_FALSE(deinterlace(p, kW, -16, level));
        EXPECT_FALSE(deinterlace(std::span(p).first(p.size() - 1), kW, 576, level));
    }
    EXPECT_EQ(p, Plane(kW * 576, 77));
    EXPECT_FALSE(deinterlaceGeometryValid(8, 15));
    EXPECT_TRUE(deinterlaceGeometryValid(8, 16));
}

// Odd lines that copy the even line above them: nothing moves in the main
// strips, and the last strip still gets its two-tap average.
TEST(Deinterlace, PictureWithoutCombingOnlySmoothsTheLastStrip) {
    for (int height : {576, 480}) {
        Plane in(kW * height);
        for (int y = 0; y < height; y += 2) {
            for (int x = 0; x < kW; ++x) {
                at(in, y, x) = static_cast<std::uint8_t>((x * 7 + y * 13 + (x * y) % 11) & 0xFF);
                at(in, y + 1, x) = at(in, y, x);
            }
        }
        for (SimdLevel level : levels()) {
            SCOPED_TRACE(simdLevelName(level));
            Plane out = run(in, height, level);
            const int last = height - 8;
            EXPECT_TRUE(std::equal(in.begin(), in.begin() + last * kW, out.begin()));
            for (int x = 0; x < kW; ++x) {
                for (int y = last + 1; y < height - 1; y += 2) {
                    ASSERT_EQ(at(out, y, x), (at(in, y - 1, x) + at(in, y + 1, x)) >> 1) << y << "," << x;
                }
                ASSERT_EQ(at(out, height - 1, x), (at(in, height - 2, x) + at(in, height - 1, x)) >> 1);
                for (int y = last; y < height; y += 2) ASSERT_EQ(at(out, y, x), at(in, y, x));
            }
        }
    }
}

// Each pattern sits in one group of one block on a flat picture; its block is
// filtered exactly when the pattern votes, and no other main block moves.
TEST(Deinterlace, MainPassThresholdsAreStrict) {
    constexpr int kLevel = 100;
    for (const auto& pattern : kThresholdPatterns) {
        for (int g = 0; g < 4; ++g) {
            SCOPED_TRACE(std::string(pattern.name) + ", group " + std::to_string(g));
            Plane in(kW * 576, kLevel);
            const int x = 8 * 40;
            const int top = 8 * 30;
            const int r = top + 2 * g;
            applyPattern(in, kW, pattern, x + 3, r);
            const auto sums = mainGroupSums(in.data(), kW, x, r);
            if (pattern.votes) {
                EXPECT_TRUE(sums.cross > 32 && sums.same < sums.cross * 6 / 8);
            } else {
                EXPECT_TRUE(sums.cross == 32 || sums.same == sums.cross * 6 / 8);
            }
            for (SimdLevel level : levels()) {
                SCOPED_TRACE(simdLevelName(level));
                const Plane out = run(in, 576, level);
                Plane want = in;
                if (pattern.votes) lineAverage(&at(want, top, x), kW, &at(want, top, x), kW);
                EXPECT_TRUE(std::equal(want.begin(), want.begin() + 568 * kW, out.begin()));
            }
        }
    }
}

TEST(Deinterlace, OneVotingGroupOfFourFiltersTheBlock) {
    // Full combing in group 3 only: it reads lines 6 to 9, two of them in the strip below.
    Plane in(kW * 576, 50);
    const int top = 8 * 10;
    for (int x = 16; x < 24; ++x) at(in, top + 7, x) = 90;
    for (SimdLevel level : levels()) {
        SCOPED_TRACE(simdLevelName(level));
        const Plane out = run(in, 576, level);
        for (int x = 16; x < 24; ++x) EXPECT_EQ(at(out, top + 7, x), 50);
        EXPECT_EQ(at(out, top + 7, 15), 50);
        EXPECT_TRUE(std::equal(in.begin(), in.begin() + (top + 7) * kW, out.begin()));
    }
}

// Last strip: column patterns for lines 568 to 574 with known votes.
TEST(Deinterlace, LastStripNeedsTwoVotesForTheThreeTapBlend) {
    struct Case {
        std::array<int, 8> column;  // lines 568..575
        bool blend;
    };
    const Case cases[] = {
        {{0, 30, 0, 0, 30, 0, 0, 4}, false},  // votes: yes, no, no
        {{0, 30, 0, 0, 0, 0, 30, 4}, true},   // yes, yes, no
        {{0, 0, 0, 30, 0, 0, 0, 4}, true},    // no, yes, yes
        {{0, 3, 0, 0, 3, 0, 1, 4}, true},     // yes, no, yes
        {{0, 2, 0, 0, 0, 0, 0, 4}, false},    // cross stays exactly 4
        {{0, 30, 0, 0, 0, 0, 0, 4}, true},    // three votes
    };
    for (const Case& c : cases) {
        Plane in(kW * 576, 20);
        const int x0 = 8 * 5;
        for (int i = 0; i < 8; ++i) at(in, 568 + i, x0 + 2) = static_cast<std::uint8_t>(20 + c.column[i]);
        Plane want = in;
        std::uint8_t* block = &at(want, 568, x0);
        if (c.blend) {
            threeTapBlend(block, kW, block, kW, 8, 8);
        } else {
            twoTapAverage(block, kW, block, kW, 8, 8);
        }
        for (SimdLevel level : levels()) {
            SCOPED_TRACE(simdLevelName(level));
            const Plane out = run(in, 576, level);
            for (int y = 568; y < 576; ++y) {
                for (int x = x0; x < x0 + 8; ++x) EXPECT_EQ(at(out, y, x), at(want, y, x)) << y << "," << x;
            }
        }
    }
    // The two filters differ on such a block, so a wrong choice shows.
    Plane a(8 * 8, 20);
    a[1 * 8] = 50;
    Plane b = a;
    threeTapBlend(a.data(), 8, a.data(), 8, 8, 8);
    twoTapAverage(b.data(), 8, b.data(), 8, 8, 8);
    EXPECT_NE(a, b);
}

// Strip 70 is tested and filtered before the last strip changes line 569, and
// its last line pair averages line 568 as it came in.
TEST(Deinterlace, LastMainStripSeesTheLastStripUnchanged) {
    Plane in(kW * 576, 100);
    // Block 0: only group 3 (lines 566..569) could vote. Line 569 is far off, so
    // its same-field difference is large and the group does not vote; had the
    // last strip been smoothed first, 569 would be 100 and the group would vote.
    for (int x = 0; x < 8; ++x) {
        at(in, 567, x) = 110;
        at(in, 569, x) = 90;
    }
    // Block 1: combed, so it is filtered with line 568 as its last neighbour.
    for (int y = 561; y < 570; y += 2) {
        for (int x = 8; x < 16; ++x) at(in, y, x) = 160;
    }
    for (int x = 8; x < 16; ++x) at(in, 568, x) = 40;
    for (SimdLevel level : levels()) {
        SCOPED_TRACE(simdLevelName(level));
        const Plane out = run(in, 576, level);
        for (int x = 0; x < 8; ++x) EXPECT_EQ(at(out, 567, x), 110);
        for (int x = 8; x < 16; ++x) {
            EXPECT_EQ(at(out, 567, x), (100 + 40) >> 1);
            EXPECT_EQ(at(out, 568, x), 40);
        }
    }
}

TEST(Deinterlace, NtscHeightStopsAtTheLastLineOfThePicture) {
    // A 480-line plane followed by the 67,584 bytes that a 576-line pass would overrun.
    constexpr int kH = kFullSizeNtscHeight;
    constexpr std::size_t kPlane = std::size_t{kW} * kH;
    constexpr std::size_t kTail = std::size_t{kW} * (576 - kH);
    static_assert(kTail == 67584);
    const Plane picture = testing::makePicture(testing::PictureKind::CombingMotion, kW, kH, 7);
    for (SimdLevel level : levels()) {
        SCOPED_TRACE(simdLevelName(level));
        Plane buffer = picture;
        buffer.resize(kPlane + kTail);
        for (std::size_t i = kPlane; i < buffer.size(); ++i) buffer[i] = static_cast<std::uint8_t>(i * 31 + 5);
        const Plane tail(buffer.begin() + kPlane, buffer.end());
        ASSERT_TRUE(deinterlace(buffer, kW, kH, level));
        EXPECT_EQ(Plane(buffer.begin() + kPlane, buffer.end()), tail);
        // Lines 472..479 are the last strip: its bottom line averages 478 and 479.
        for (int x = 0; x < kW; ++x) {
            ASSERT_EQ(at(buffer, kH - 1, x), (at(picture, kH - 2, x) + at(picture, kH - 1, x)) >> 1);
        }
    }
}

// Above its last strip, a 480-line picture comes out as the same lines of any
// 576-line picture that starts with it.
TEST(Deinterlace, ShorterPictureMatchesTheTallerOneAboveItsLastStrip) {
    for (auto kind : {testing::PictureKind::CombingMotion, testing::PictureKind::Noise}) {
        const Plane tall = testing::makePicture(kind, kW, 576, 11);
        const Plane shortIn(tall.begin(), tall.begin() + kW * 480);
        const Plane tallOut = run(tall, 576, SimdLevel::Scalar);
        const Plane shortOut = run(shortIn, 480, SimdLevel::Scalar);
        EXPECT_TRUE(std::equal(shortOut.begin(), shortOut.begin() + kW * 472, tallOut.begin()));
        EXPECT_FALSE(std::equal(shortOut.begin() + kW * 472, shortOut.end(), tallOut.begin() + kW * 472))
            << "lines 472..479 are the last strip of the shorter picture only";
    }
}

TEST(Deinterlace, EvenLinesNeverChange) {
    for (auto kind : testing::kAllPictureKinds) {
        const Plane in = testing::makePicture(kind, kW, 576, 3);
        const Plane out = run(in, 576, bestSimdLevel());
        for (int y = 0; y < 576; y += 2) {
            ASSERT_TRUE(std::equal(in.begin() + y * kW, in.begin() + (y + 1) * kW, out.begin() + y * kW)) << y;
        }
    }
}

}  // namespace
}  // namespace pemblor::video
