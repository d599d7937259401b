#pragma once
// Planar 4:2:2 pictures to 4:2:0, in place, by keeping every second chroma row.
#include <cstddef>
#include <cstdint>
#include <span>

namespace pemblor::video {

// Bytes of a planar 4:2:2 picture: the luma plane, then two chroma planes of
// width/2 x height.
std::size_t planar422Bytes(int width, int height);
// Bytes that hold the picture after conversion: the luma plane and height rows
// of width/2 chroma bytes (two width/2 x height/2 planes when height is even).
std::size_t planar420Bytes(int width, int height);

// Treats everything after the luma plane as 2 x height rows of width/2 bytes
// (the two 4:2:2 planes one after the other) and makes row k a copy of row 2k,
// for k = 1 up to height - 1 in ascending order; nothing moves when height is 1
// or less. Each row is read before anything is written over it, so the result
// holds the even rows of the first plane, then the even rows of the second.
// False, with nothing changed, for a negative size or a span shorter than
// planar422Bytes.
bool convert422To420(std::span<std::uint8_t> picture, int width, int height);

}  // namespace pemblor::video
