#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "video/chroma_422_to_420.hpp"

namespace pemblor::video {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Every byte differs from its neighbours and rows differ, so a wrong row shows.
Bytes numbered(std::size_t n) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
    return b;
}

// Row k of the result is row 2k of the original, read out of a separate copy.
void expectEvenRowsGathered(const Bytes& before, const Bytes& after, int width, int height) {
    const std::size_t luma = std::size_t(width) * height;
    const std::size_t row = width / 2;
    ASSERT_TRUE(std::equal(before.begin(), before.begin() + luma, after.begin())) << "luma untouched";
    for (int k = 0; k < 2 * height; ++k) {
        const int source = k < height ? 2 * k : k;  // rows from height on are left as they were
        for (std::size_t x = 0; x < row; ++x) {
            ASSERT_EQ(after[luma + k * row + x], before[luma + source * row + x]) << "row " << k << " byte " << x;
        }
    }
}

TEST(Chroma422To420, FullSizePictureMoves575RowsOf352Bytes) {
    constexpr int kW = 704;
    constexpr int kH = 576;
    const Bytes before = numbered(planar422Bytes(kW, kH));
    ASSERT_EQ(before.size(), 704u * 576 * 2);
    Bytes after = before;
    ASSERT_TRUE(convert422To420(after, kW, kH));
    expectEvenRowsGathered(before, after, kW, kH);
    const std::size_t luma = std::size_t(kW) * kH;
    int changedRows = 0;
    for (int k = 0; k < 2 * kH; ++k) {
        changedRows += !std::equal(after.begin() + luma + k * 352, after.begin() + luma + (k + 1) * 352,
                                   before.begin() + luma + k * 352);
    }
    EXPECT_EQ(changedRows, 575);
    // The 4:2:0 planes: the first plane's even rows, then the second plane's.
    const std::size_t second422 = luma + std::size_t(kW / 2) * kH;
    EXPECT_TRUE(std::equal(after.begin() + luma + 287 * 352, after.begin() + luma + 288 * 352,
                           before.begin() + luma + 574 * 352));
    EXPECT_TRUE(
        std::equal(after.begin() + luma * 5 / 4, after.begin() + luma * 5 / 4 + 352, before.begin() + second422));
    EXPECT_EQ(planar420Bytes(kW, kH), luma * 3 / 2);
}

TEST(Chroma422To420, SmallAndOddSizes) {
    for (auto [w, h] : {std::pair{7, 5}, {3, 3}, {2, 2}, {1, 4}, {6, 1}, {5, 0}, {0, 6}, {9, 2}, {10, 7}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        Bytes before = numbered(planar422Bytes(w, h) + 16);  // with bytes after the picture
        Bytes after = before;
        ASSERT_TRUE(convert422To420(after, w, h));
        expectEvenRowsGathered(before, after, w, h);
        EXPECT_TRUE(std::equal(after.end() - 16, after.end(), before.end() - 16));
    }
}

TEST(Chroma422To420, HeightOneOrLessMovesNothing) {
    for (int h : {0, 1}) {
        const Bytes before = numbered(planar422Bytes(8, h));
        Bytes after = before;
        EXPECT_TRUE(convert422To420(after, 8, h));
        EXPECT_EQ(after, before);
    }
}

TEST(Chroma422To420, RefusesShortBuffersAndNegativeSizes) {
    const Bytes before = numbered(planar422Bytes(16, 8) - 1);
    Bytes after = before;
    EXPECT_FALSE(convert422To420(after, 16, 8));
    EXPECT_FALSE(convert422To420(after, -2, 4));
    EXPECT_FALSE(convert422To420(after, 4, -2));
    EXPECT_EQ(after, before);
}

}  // namespace
}  // namespace pemblor::video
