#pragma once
// Removes combing from full-size interlaced luma planes, in place.
//
// The plane is cut into 8 x 8 blocks. Every strip of blocks but the last is
// tested group by group (two even and two odd lines) for lines that fit their
// own field better than the other one; a block with one such group gets its
// odd lines replaced by the average of the even lines around them. The last
// strip has no line below it and is always smoothed, with a three-tap blend
// where the fields disagree and a two-tap average elsewhere. Even lines are
// never changed, and every test reads only lines no filter has written yet, so
// the result depends on the input picture alone: blocks may be done in any
// order as long as each column goes down strip by strip.
#include <cstddef>
#include <cstdint>
#include <span>

#include "video/simd_level.hpp"

namespace pemblor::video {

inline constexpr int kFullSizeWidth = 704;
inline constexpr int kFullSizePalHeight = 576;
inline constexpr int kFullSizeNtscHeight = 480;
inline constexpr int kDeinterlaceBlock = 8;

// Width a multiple of 8 (at least 8); height a multiple of 8 and at least 16,
// so that there is one strip for the main pass and the last strip.
bool deinterlaceGeometryValid(int width, int height);

// De-interlaces the luma plane (line stride = width) in place with the fastest
// code this machine runs. Reads and writes nothing beyond width x height bytes.
// False, with the plane untouched, when the geometry is invalid or the span is
// shorter than the plane.
bool deinterlace(std::span<std::uint8_t> plane, int width, int height);
// The same with the given instruction set; also false when this machine cannot
// run it. Every level gives the same bytes.
bool deinterlace(std::span<std::uint8_t> plane, int width, int height, SimdLevel level);

// The three block filters. For each line pair 2t, 2t + 1 of the block, line 2t
// of dst is line 2t of src and line 2t + 1 is computed from src lines; dst may
// be src (odd line 2t + 1 is read before it is written).
//
// Line averaging, 8 columns, 4 pairs: (L(2t) + L(2t + 2)) >> 1 for every pair,
// so it reads line 8, the first line below the block.
void lineAverage(std::uint8_t* dst, std::ptrdiff_t dstStride, const std::uint8_t* src, std::ptrdiff_t srcStride);
// Three-tap blend over width bytes and `lines` lines (even):
// (L(2t) + 2 L(2t + 1) + L(2t + 2) + 2) >> 2, and (L(2t) + L(2t + 1)) >> 1 for the last pair.
void threeTapBlend(std::uint8_t* dst, std::ptrdiff_t dstStride, const std::uint8_t* src, std::ptrdiff_t srcStride,
                   int width, int lines);
// Two-tap average over width bytes and `lines` lines (even):
// (L(2t) + L(2t + 2)) >> 1, and (L(2t) + L(2t + 1)) >> 1 for the last pair.
void twoTapAverage(std::uint8_t* dst, std::ptrdiff_t dstStride, const std::uint8_t* src, std::ptrdiff_t srcStride,
                   int width, int lines);

}  // namespace pemblor::video
