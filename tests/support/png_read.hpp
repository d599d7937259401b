#pragma once
// Reads a PNG file back as 8-bit RGB, for tests that check snapshots.
#include <png.h>

#include <cstdint>
#include <filesystem>
#include <vector>

namespace pemblor::testing {

struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // R, G, B per pixel, lines back to back
};

// Empty (0 x 0) when the file is not a PNG.
inline RgbPicture readPng(const std::filesystem::path& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, file.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    RgbPicture p{static_cast<int>(image.width), static_cast<int>(image.height), {}};
    p.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, p.rgb.data(), 0, nullptr)) return {};
    return p;
}

}  // namespace pemblor::testing
