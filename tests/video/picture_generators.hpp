#pragma once
// Luma planes for de-interlacer tests, generated from a seed, and the block
// measures recomputed from their definitions.
#include <cstdint>
#include <vector>

namespace pemblor::video::testing {

enum class PictureKind {
    Noise,          // every byte random
    LowNoise,       // a flat level with +-2 noise: sums hover around the thresholds
    Flat,           // one value
    Stripes,        // horizontal, vertical or checkered stripes of random period and contrast
    CombingMotion,  // textured scene whose objects move between the two fields
    Thresholds,     // flat, with groups placed exactly at and just past the thresholds
    Extremes,       // 0 and 255 only
};

inline constexpr PictureKind kAllPictureKinds[] = {
    PictureKind::Noise,         PictureKind::LowNoise,   PictureKind::Flat,     PictureKind::Stripes,
    PictureKind::CombingMotion, PictureKind::Thresholds, PictureKind::Extremes,
};

std::vector<std::uint8_t> makePicture(PictureKind kind, int width, int height, std::uint32_t seed);

// One column's change to two neighbouring lines of a group: the sample at
// (line r, x + column) moves by dr, at (line r + 1, x + column) by dr1.
struct SampleShift {
    int column;
    int dr;
    int dr1;
};

// Groups on a flat background that sit on a threshold of the main pass.
struct ThresholdPattern {
    const char* name;
    SampleShift shifts[2];
    int count;
    bool votes;
};
inline constexpr ThresholdPattern kThresholdPatterns[] = {
    {"A exactly 32", {{0, 0, 4}}, 1, false},                          // A = 32, B = 16
    {"A is 33", {{0, -3, 2}, {1, -2, -2}}, 2, true},                  // A = 33, B = 21 < 24
    {"B exactly floor(6A/8)", {{0, 6, -1}}, 1, false},                // A = 50, B = 37
    {"B one below floor(6A/8)", {{0, -8, -3}, {1, -6, 5}}, 2, true},  // A = 180, B = 134
};

// Places a pattern at block column x, lines r and r + 1.
void applyPattern(std::vector<std::uint8_t>& plane, int width, const ThresholdPattern& pattern, int x, int r);

struct GroupSums {
    std::uint32_t cross;  // A
    std::uint32_t same;   // B
};
// A and B of the group whose top line is r, over columns x to x + 7.
GroupSums mainGroupSums(const std::uint8_t* plane, int width, int x, int r);
// Sum over columns x to x + 7 of (P(a) - P(b))^2.
std::uint32_t lineDifference(const std::uint8_t* plane, int width, int x, int a, int b);

}  // namespace pemblor::video::testing
