#pragma once
// The card's three memory windows (PCI base-address regions) as plain
// storage. A window takes memory only once something is written to it; until
// then it reads as zeros. Not thread-safe: the card's lock covers it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "sim/sim_buffer.hpp"

namespace pemblor::sim {

inline constexpr std::size_t kBar0Size = 4u << 20;  // "bar0   4M"
inline constexpr std::size_t kBar1Size = 8u << 20;  // "bar1   8M"
inline constexpr std::size_t kBar2Size = 4096;      // "bar2   IO"
inline constexpr std::size_t kBarCount = 3;

class MemoryWindows {
public:
    static std::size_t size(std::uint32_t bar);

    // False when bar or the range [offset, offset + size) lies outside a
    // window, or when a window's memory cannot be had.
    bool read(std::uint32_t bar, std::uint32_t offset, std::span<std::uint8_t> out) const;
    bool write(std::uint32_t bar, std::uint32_t offset, std::span<const std::uint8_t> data);

private:
    static bool inside(std::uint32_t bar, std::uint32_t offset, std::size_t length);

    std::array<ZeroedBuffer, kBarCount> bars_;
};

}  // namespace pemblor::sim
