#include "video/chroma_422_to_420.hpp"

#include <cstring>

namespace pemblor::video {

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
    // Rows k and 2k never overlap for k >= 1.
    for (int k = 1; k < height; ++k) {
        std::memcpy(chroma + k * rowBytes, chroma + 2 * k * rowBytes, rowBytes);
    }
    return true;
}

}  // namespace pemblor::video
