#include "sim/dsp/dsp_memory.hpp"

#include <algorithm>

namespace pemblor::sim {

bool DspMemory::pageExists(std::uint32_t page) {
    return page == kOnChipPage || (page >= kExternalFirstPage && page < kExternalFirstPage + kExternalPageCount);
}

bool DspMemory::inside(std::uint64_t address, std::size_t length) {
    const std::uint64_t end = address + length;
    if (end <= kDspPageSize) return true;
    return address >= kExternalBase && end <= std::uint64_t{kExternalBase} + kExternalSize;
}

std::size_t DspMemory::slotOf(std::uint32_t address) {
    return address < kDspPageSize ? 0 : 1 + (address - kExternalBase) / kDspPageSize;
}

bool DspMemory::read(std::uint32_t address, std::span<std::uint8_t> out) const {
    if (!inside(address, out.size())) return false;
    std::size_t done = 0;
    while (done < out.size()) {
        const std::uint32_t at = address + static_cast<std::uint32_t>(done);
        const std::size_t inPage = at % kDspPageSize;
        const std::size_t n = std::min(out.size() - done, kDspPageSize - inPage);
        const ZeroedBuffer& page = pages_[slotOf(at)];
        if (page.empty())
            std::fill_n(out.begin() + static_cast<std::ptrdiff_t>(done), n, std::uint8_t{0});
        else
            std::copy_n(page.bytes().begin() + static_cast<std::ptrdiff_t>(inPage), n,
                        out.begin() + static_cast<std::ptrdiff_t>(done));
        done += n;
    }
    // A faulty cell reads its value whatever was written.
    for (auto it = stuck_.lower_bound(address); it != stuck_.end() && it->first - address < out.size(); ++it)
        out[it->first - address] = it->second;
    return true;
}

bool DspMemory::write(std::uint32_t address, std::span<const std::uint8_t> data) {
    if (!inside(address, data.size())) return false;
    std::size_t done = 0;
    while (done < data.size()) {
        const std::uint32_t at = address + static_cast<std::uint32_t>(done);
        const std::size_t inPage = at % kDspPageSize;
        const std::size_t n = std::min(data.size() - done, kDspPageSize - inPage);
        ZeroedBuffer& page = pages_[slotOf(at)];
        if (page.empty() && !page.allocate(kDspPageSize)) return false;
        std::copy_n(data.begin() + static_cast<std::ptrdiff_t>(done), n,
                    page.bytes().begin() + static_cast<std::ptrdiff_t>(inPage));
        done += n;
    }
    return true;
}

std::size_t DspMemory::pagesInUse() const {
    return static_cast<std::size_t>(std::count_if(pages_.begin(), pages_.end(), [](const ZeroedBuffer& p) { return !p.empty(); }));
}

}  // namespace pemblor::sim
