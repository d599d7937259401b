#include "sim/sim_memory.hpp"

#include <algorithm>

namespace pemblor::sim {

std::size_t MemoryWindows::size(std::uint32_t bar) {
    static constexpr std::size_t kSizes[kBarCount] = {kBar0Size, kBar1Size, kBar2Size};
    return bar < kBarCount ? kSizes[bar] : 0;
}

bool MemoryWindows::inside(std::uint32_t bar, std::uint32_t offset, std::size_t length) {
    const std::size_t limit = size(bar);
    return offset <= limit && length <= limit - offset;
}

bool MemoryWindows::read(std::uint32_t bar, std::uint32_t offset, std::span<std::uint8_t> out) const {
    if (!inside(bar, offset, out.size())) return false;
    const ZeroedBuffer& storage = bars_[bar];
    if (storage.empty())
        std::fill(out.begin(), out.end(), std::uint8_t{0});
    else
        std::copy_n(storage.bytes().begin() + offset, out.size(), out.begin());
    return true;
}

bool MemoryWindows::write(std::uint32_t bar, std::uint32_t offset, std::span<const std::uint8_t> data) {
    if (!inside(bar, offset, data.size())) return false;
    if (data.empty()) return true;
    ZeroedBuffer& storage = bars_[bar];
    if (storage.empty() && !storage.allocate(size(bar))) return false;
    std::copy(data.begin(), data.end(), storage.bytes().begin() + offset);
    return true;
}

}  // namespace pemblor::sim
