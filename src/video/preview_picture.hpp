#pragma once
// The preview pictures the card announces: the picture code fixes the size,
// the "NTSC" box the height, and "422 Data" how the chroma is laid out.
#include <cstddef>
#include <cstdint>

namespace pemblor::video {

inline constexpr std::uint32_t kCodeCif = 240;        // 352 x 288 (288 with NTSC too)
inline constexpr std::uint32_t kCodeQcif = 241;       // 176 x 144, 120 with NTSC
inline constexpr std::uint32_t kCodeCifNtsc = 242;    // 352 x 288, 240 with NTSC
inline constexpr std::uint32_t kCodeFullSize = 247;   // 704 x 576, 480 with NTSC, in the shared full-size buffer

struct PictureSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const PictureSize&, const PictureSize&) = default;
};

// The size of a preview picture; every code not listed is a CIF picture.
PictureSize previewPictureSize(std::uint32_t code, bool ntsc);

// Bytes a picture of that size takes: planar 4:2:2 (two chroma planes of
// width/2 x height) or 4:2:0 (two of width/2 x height/2).
std::size_t previewPictureBytes(PictureSize size, bool planar422);

}  // namespace pemblor::video
