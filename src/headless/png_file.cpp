#include "headless/png_file.hpp"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

namespace pemblor::headless {

namespace {

struct FileClose {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// libpng reports errors by longjmp; nothing with a destructor may live in the
// frame that calls setjmp, so the writing happens here with plain pointers.
bool writeRows(std::FILE* f, const std::uint8_t* rgb, int width, int height, std::string& error) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, nullptr);
        error = "out of memory";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        error = "libpng could not write the picture";
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y) png_write_row(png, rgb + static_cast<std::size_t>(y) * stride);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool writeRgbPng(const std::filesystem::path& file, std::span<const std::uint8_t> rgb, int width, int height,
                 std::string& error) {
    if (width <= 0 || height <= 0 || rgb.size() < static_cast<std::size_t>(width) * height * 3) {
        error = "no picture";
        return false;
    }
    std::unique_ptr<std::FILE, FileClose> f(std::fopen(file.c_str(), "wb"));
    if (!f) {
        error = std::strerror(errno);
        return false;
    }
    if (!writeRows(f.get(), rgb.data(), width, height, error)) return false;
    if (std::fflush(f.get()) != 0 || std::ferror(f.get())) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace pemblor::headless
