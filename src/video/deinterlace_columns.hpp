#pragma once
// The de-interlacer's workers, one per instruction set. Each handles the block
// columns of bytes x0 to x1 of a width x height plane (stride = width), all the
// way down; columns never interact, so a plane may be split between workers.
#include <cstdint>

namespace pemblor::video::detail {

// x0 and x1 multiples of 8.
void deinterlaceColumnsScalar(std::uint8_t* plane, int width, int height, int x0, int x1);
// x1 - x0 a multiple of 16.
void deinterlaceColumnsSse2(std::uint8_t* plane, int width, int height, int x0, int x1);
// x1 - x0 a multiple of 32; only on processors with AVX2.
void deinterlaceColumnsAvx2(std::uint8_t* plane, int width, int height, int x0, int x1);
// x1 - x0 a multiple of 64; only on processors with AVX-512 F, BW and VNNI.
void deinterlaceColumnsAvx512(std::uint8_t* plane, int width, int height, int x0, int x1);

}  // namespace pemblor::video::detail
