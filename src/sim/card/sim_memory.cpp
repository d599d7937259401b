#include "sim/card/sim_memory.hpp"

#include <algorithm>

#include "driver/little_endian.hpp"

namespace pemblor::sim {

std::size_t MemoryWindows::size(std::uint32_t bar) {
    static constexpr std::size_t kSizes[kBarCount] = {kBar0Size, kBar1Size, kBar2Size};
    return bar < kBarCount ? kSizes[bar] : 0;
}

bool MemoryWindows::touches(std::uint32_t offset, std::size_t length, std::uint32_t registerOffset) {
    return offset < std::uint64_t{registerOffset} + 4 && std::uint64_t{offset} + length > registerOffset;
}

bool MemoryWindows::inside(std::uint32_t bar, std::uint32_t offset, std::size_t length) {
    const std::size_t limit = size(bar);
    return offset <= limit && length <= limit - offset;
}

std::optional<std::uint32_t> MemoryWindows::dspAddress(std::uint32_t offset) const {
    const std::uint32_t page = bar1Word(kDsppOffset);
    if (!DspMemory::pageExists(page)) return std::nullopt;
    return page * kDspPageSize + offset;
}

bool MemoryWindows::read(std::uint32_t bar, std::uint32_t offset, std::span<std::uint8_t> out) const {
    if (!inside(bar, offset, out.size())) return false;
    if (bar == 0) {
        const auto address = dspAddress(offset);
        return address && dsp_.read(*address, out);
    }
    const ZeroedBuffer& storage = bars_[bar];
    if (storage.empty())
        std::fill(out.begin(), out.end(), std::uint8_t{0});
    else
        std::copy_n(storage.bytes().begin() + offset, out.size(), out.begin());
    return true;
}

bool MemoryWindows::write(std::uint32_t bar, std::uint32_t offset, std::span<const std::uint8_t> data) {
    if (!inside(bar, offset, data.size())) return false;
    if (bar == 0) {
        const auto address = dspAddress(offset);
        return address && dsp_.write(*address, data);
    }
    if (data.empty()) return true;
    ZeroedBuffer& storage = bars_[bar];
    if (storage.empty() && !storage.allocate(size(bar))) return false;
    std::copy(data.begin(), data.end(), storage.bytes().begin() + offset);
    return true;
}

std::uint32_t MemoryWindows::bar1Word(std::uint32_t offset) const {
    std::array<std::uint8_t, 4> word{};
    read(1, offset, word);
    return driver::loadU32(word, 0);
}

void MemoryWindows::setBar1Word(std::uint32_t offset, std::uint32_t value) {
    std::array<std::uint8_t, 4> word{};
    driver::storeU32(word, 0, value);
    write(1, offset, word);
}

}  // namespace pemblor::sim
