#pragma once
// Writing 8-bit RGB pictures as PNG files (libpng).
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace pemblor::headless {

// rgb: width x height pixels of R, G, B, lines back to back. False, with the
// reason, when the file cannot be written.
bool writeRgbPng(const std::filesystem::path& file, std::span<const std::uint8_t> rgb, int width, int height,
                 std::string& error);

}  // namespace pemblor::headless
