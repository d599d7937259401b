#pragma once
// The DSP's address space as the card's memory holds it: the on-chip memory
// (DSP addresses 0 to 0x3FFFFF, page 0 of the bar 0 view) and the first 128 MB
// of external memory from 0x80000000 (pages 0x200 to 0x21F). Each 4 MB page
// takes memory only once written; until then it reads as zeros. Stuck bytes
// (a faulty cell) always read their fixed value. Not thread-safe: the card's
// lock covers it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <span>

#include "sim/card/sim_buffer.hpp"

namespace pemblor::sim {

inline constexpr std::uint32_t kDspPageSize = 0x400000;  // what bar 0 shows at once
inline constexpr std::uint32_t kOnChipPage = 0;
inline constexpr std::uint32_t kExternalFirstPage = 0x200;
inline constexpr std::uint32_t kExternalPageCount = 32;
inline constexpr std::uint32_t kExternalBase = kExternalFirstPage * kDspPageSize;  // 0x80000000
inline constexpr std::uint32_t kExternalSize = kExternalPageCount * kDspPageSize;  // 128 MB

// DSP address -> value that byte always reads.
using StuckBytes = std::map<std::uint32_t, std::uint8_t>;

class DspMemory {
public:
    explicit DspMemory(StuckBytes stuck = {}) : stuck_(std::move(stuck)) {}

    // Pages the bar 0 view may show (DSPP values).
    static bool pageExists(std::uint32_t page);
    // True when [address, address + length) lies wholly in on-chip or external memory.
    static bool inside(std::uint64_t address, std::size_t length);

    // False, touching nothing, when the range is not wholly inside.
    bool read(std::uint32_t address, std::span<std::uint8_t> out) const;
    bool write(std::uint32_t address, std::span<const std::uint8_t> data);

    // Pages that took memory so far (what the card costs).
    std::size_t pagesInUse() const;

private:
    static constexpr std::size_t kPageSlots = 1 + kExternalPageCount;
    // Slot of the page holding address (inside() must hold).
    static std::size_t slotOf(std::uint32_t address);

    std::array<ZeroedBuffer, kPageSlots> pages_;
    StuckBytes stuck_;
};

}  // namespace pemblor::sim
