#include "program/scrambler.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace pemblor::program {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint8_t K(unsigned k, unsigned c) { return static_cast<std::uint8_t>(kScramblerKeys[k][c]); }

Bytes randomBytes(std::size_t n, std::mt19937& rng) {
    Bytes b(n);
    for (auto& x : b) x = static_cast<std::uint8_t>(rng());
    return b;
}

// The formula worked by hand for offsets whose four index parts all differ.
TEST(Scrambler, ByteFormulaUsesTheRightKeyCharacters) {
    // n = 0x000003E5: i = 0xE5 (i >> 5 = 7, i & 31 = 5, i & 7 = 5), h = 3.
    const std::uint8_t x = 0xA7;
    const auto y1 = static_cast<std::uint8_t>((x ^ K(7, 5)) + K(5, 3) + K(3, 5));
    EXPECT_EQ(scrambleByte(x, 0x000003E5), y1);
    // n = 0x0403_2A61: i = 0x61 (3, 1, 1), h = 0x2A (h & 31 = 10, h & 7 = 2), b2 = 3, b3 = 4.
    const auto y2 = static_cast<std::uint8_t>((x ^ K(3, 1)) + K(1, 10) + K(2, 1) + 3 + 4);
    EXPECT_EQ(scrambleByte(x, 0x04032A61), y2);
    EXPECT_EQ(unscrambleByte(y2, 0x04032A61), x);

    Bytes one{x};
    scramble(one, 0x04032A61);
    EXPECT_EQ(one[0], y2);
}

// The fast path against the formula byte by byte, at starts and lengths that
// hit every seam: vector tails, 64 KiB windows, and the 32-bit wrap.
TEST(Scrambler, FastPathMatchesFormulaAtEverySeam) {
    std::mt19937 rng(7);
    const std::uint32_t starts[] = {0, 1, 31, 0xFFE1, 0xFFFF, 0x10000, 0xFEFFF0, 0xFFFFF7, 0x12345678, 0xFFFFFFF0,
                                    0xFFFFFFFF};
    const std::size_t lengths[] = {0, 1, 15, 31, 32, 33, 63, 100, 0x10000 + 77, 3 * 0x10000 + 5};
    for (std::uint32_t start : starts) {
        for (std::size_t length : lengths) {
            const Bytes input = randomBytes(length, rng);
            Bytes fast = input, slow = input;
            scramble(fast, start);
            scrambleBytewise(slow, start);
            ASSERT_EQ(fast, slow) << "scramble start " << start << " length " << length;
            unscramble(fast, start);
            unscrambleBytewise(slow, start);
            ASSERT_EQ(fast, input) << "unscramble start " << start << " length " << length;
            ASSERT_EQ(slow, input);
        }
    }
}

TEST(Scrambler, RoundTripsAtRandomStarts) {
    std::mt19937 rng(11);
    for (int round = 0; round < 200; ++round) {
        const Bytes input = randomBytes(rng() % 3000, rng);
        const std::uint32_t start = rng();
        Bytes b = input;
        scramble(b, start);
        if (input.size() > 64) {
            EXPECT_NE(b, input);
        }
        unscramble(b, start);
        ASSERT_EQ(b, input) << "start " << start;
    }
}

// A file cut into pieces of any size, each with its running offset, gives
// the bytes of the whole file transformed at once.
TEST(Scrambler, PiecesWithRunningOffsetEqualTheWhole) {
    std::mt19937 rng(5);
    const Bytes input = randomBytes(200000, rng);
    Bytes whole = input;
    scramble(whole, 0);
    for (std::size_t fixed : {std::size_t{1}, std::size_t{7}, std::size_t{512}, std::size_t{0}}) {
        Bytes pieces = input;
        std::size_t at = 0;
        while (at < pieces.size()) {
            const std::size_t n = std::min(pieces.size() - at, fixed ? fixed : 1 + rng() % 5000);
            scramble(std::span(pieces).subspan(at, n), static_cast<std::uint32_t>(at));
            at += n;
        }
        ASSERT_EQ(pieces, whole) << "piece size " << fixed;
        // and back, in different pieces
        at = 0;
        while (at < pieces.size()) {
            const std::size_t n = std::min(pieces.size() - at, 1 + rng() % 70000);
            unscramble(std::span(pieces).subspan(at, n), static_cast<std::uint32_t>(at));
            at += n;
        }
        ASSERT_EQ(pieces, input);
    }
}

// Bits 16 to 31 only add: a step of 0x10000 (or 2^24) adds exactly 1.
TEST(Scrambler, HighOffsetBitsAddOne) {
    for (std::uint32_t step : {0x10000u, 0x1000000u}) {
        for (std::uint32_t n : {0x0u, 0x1234u, 0xFDFF00u, 0xFE00FF80u, 0x7F3A0001u}) {
            const std::uint32_t highPart = step == 0x10000u ? (n >> 16) & 0xFF : n >> 24;
            ASSERT_LT(highPart, 0xFFu);
            Bytes a(512), b(512);
            for (std::size_t j = 0; j < a.size(); ++j) a[j] = b[j] = static_cast<std::uint8_t>(j * 13);
            scramble(a, n);
            scramble(b, n + step);
            for (std::size_t j = 0; j < a.size(); ++j) {
                // Both runs may cross the same 64 KiB seam at the same j.
                ASSERT_EQ(static_cast<std::uint8_t>(a[j] + 1), b[j]) << "n " << n << " step " << step << " j " << j;
            }
        }
    }
}

}  // namespace
}  // namespace pemblor::program
