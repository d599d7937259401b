#pragma once
// Byte-wise little-endian access for driver records and file formats; records
// are never cast to structs.
#include <cstddef>
#include <cstdint>
#include <span>

namespace pemblor::driver {

inline std::uint32_t loadU32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t{b[at]} | std::uint32_t{b[at + 1]} << 8 |
           std::uint32_t{b[at + 2]} << 16 | std::uint32_t{b[at + 3]} << 24;
}

inline std::uint16_t loadU16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}

inline void storeU32(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
    b[at + 2] = static_cast<std::uint8_t>(v >> 16);
    b[at + 3] = static_cast<std::uint8_t>(v >> 24);
}

inline void storeU16(std::span<std::uint8_t> b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

}  // namespace pemblor::driver
