#include "video/chroma_422_to_420.hpp"

#include <cstring>

namespace pemblor::video {

namespace {

constexpr std::size_t kPiece = 16;
constexpr std::size_t kRun = 4 * kPiece;

// A full-size picture has 575 rows of 352 bytes to move: a library call per
// row costs more in start-up than in copying, so rows go in fixed-size pieces
// that compile to plain vector moves, the last one overlapping the one before.
// The rows never overlap each other.
void copyRow(std::uint8_t* dst, const std::uint8_t* src, std::size_t n) {
    if (n < kPiece) {
        std::memcpy(dst, src, n);
        return;
    }
    std::size_t x = 0;
    for (; x + kRun <= n; x += kRun) std::memcpy(dst + x, src + x, kRun);
    for (; x + kPiece <= n; x += kPiece) std::memcpy(dst + x, src + x, kPiece);
    if (x < n) std::memcpy(dst + n - kPiece, src + n - kPiece, kPiece);
}

}  // namespace

std::size_t planar422Bytes(int width, int height) {
    const auto w = static_cast<std::size_t>(width);
    const auto h = static_cast<std::size_t>(height);
    return w * h + 2 * h * (w / 2);
}

std::size_t planar420Bytes(int width, int height) {
    const auto w = static_cast<std::size_t>(width);
    const auto h = static_cast<std::size_t>(height);
    return w * h + h * (w / 2);
}

bool convert422To420(std::span<std::uint8_t> picture, int width, int height) {
    if (width < 0 || height < 0 || picture.size() < planar422Bytes(width, height)) return false;
    const auto rowBytes = static_cast<std::size_t>(width / 2);
    std::uint8_t* chroma = picture.data() + static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    for (int k = 1; k < height; ++k) copyRow(chroma + k * rowBytes, chroma + 2 * k * rowBytes, rowBytes);
    return true;
}

}  // namespace pemblor::video
