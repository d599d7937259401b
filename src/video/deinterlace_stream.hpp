#pragma once
// Offline de-interlacing of raw captures: pictures back to back, either luma
// planes alone or whole planar 4:2:2 pictures.
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "video/deinterlace.hpp"
#include "video/simd_level.hpp"

namespace pemblor::video {

enum class PlaneLayout {
    Luma,       // width x height luma bytes per picture
    Planar422,  // luma, then two chroma planes of width/2 x height
};

// "luma" or "422".
std::optional<PlaneLayout> parsePlaneLayout(std::string_view name);
std::string_view planeLayoutName(PlaneLayout layout);

// Largest width and height accepted, so that a picture buffer stays small.
inline constexpr int kMaxStreamPictureSide = 4096;

struct DeinterlaceStreamOptions {
    int width = kFullSizeWidth;
    int height = kFullSizePalHeight;
    PlaneLayout layout = PlaneLayout::Luma;
    bool to420 = false;                             // 4:2:2 pictures only: write them converted to 4:2:0
    std::optional<SimdLevel> level = std::nullopt;  // none: the fastest this machine runs
};

struct DeinterlaceStreamResult {
    bool ok = false;
    std::uint64_t pictures = 0;  // pictures written
    std::string error;           // why not ok
};

// Empty when the options can be used, else why not.
std::string checkDeinterlaceStreamOptions(const DeinterlaceStreamOptions& options);

// Reads whole pictures from in until it ends, de-interlaces each luma plane in
// place, passes the chroma through or converts it, and writes each picture to
// out. Input that ends inside a picture is an error; the pictures before it
// have been written. One picture buffer for the whole run.
DeinterlaceStreamResult deinterlaceStream(std::istream& in, std::ostream& out, const DeinterlaceStreamOptions& options);

// The same from file in to file out. The options are checked, and in is
// opened, before out is touched; in and out must be different files. out is
// replaced only when every picture was written: a failure leaves it as it was.
DeinterlaceStreamResult deinterlaceFile(const std::filesystem::path& in, const std::filesystem::path& out,
                                        const DeinterlaceStreamOptions& options);

}  // namespace pemblor::video
