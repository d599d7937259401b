#pragma once
// H.264 test streams of every coding shape a card may send: libx264 through
// libavcodec (B pyramids, MBAFF, interlaced frames, intra refresh, slices
// with delimiters, open groups with recovery points), and, for what x264
// does not write (field pairs, picture order count type 1), a small writer
// of intra-PCM streams whose pictures each differ. Each picture of a stream
// is distinct, so a picture out of place shows.
#include <cstdint>
#include <string>
#include <vector>

namespace pemblor::testing {

using Bytes = std::vector<std::uint8_t>;

// x264params as for libx264's "x264-params" option, e.g. "bframes=3:b-pyramid=normal".
Bytes encodeX264(int width, int height, int pictures, int fps, const std::string& x264params);

// Field pairs, top field first, groups "I P B B P B B ..." (B pictures not
// referenced, shown before the P they follow), 32 x 32, intra-PCM in every
// slice type. pocType 0 or 1; with timing, a VUI that says 25 pictures/s
// and one picture held back.
Bytes pcmFieldStream(int pictures, int pocType, bool timing);

// The bytes of a stream from its access unit `first` (in decoding order) on, as
// a recording that began late holds them.
Bytes fromAccessUnit(const Bytes& stream, std::size_t first);

}  // namespace pemblor::testing
