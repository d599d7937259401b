#pragma once
// Registers of the DSP's PCI side in the card's register window (bar 1), and
// the pages of DSP address space that the 4 MB window (bar 0) can show.
#include <array>
#include <cstdint>

#include "driver/driver_link.hpp"
#include "driver/little_endian.hpp"

namespace pemblor::driver {

inline constexpr std::uint32_t kMemoryBar = 0;    // "bar0   4M": a page of DSP address space
inline constexpr std::uint32_t kRegisterBar = 1;  // "bar1   8M": EMIFA and the PCI-side registers

inline constexpr std::uint32_t kHdcrOffset = 0x41FFF4;    // host-port control: reset, DSP doorbell
inline constexpr std::uint32_t kDsppOffset = 0x41FFF8;    // which 4 MB page bar 0 shows
inline constexpr std::uint32_t kRstsrcOffset = 0x400000;  // reset source: PCI doorbell

// Page 0 holds the on-chip memory; external memory starts at DSP address
// 0x80000000, page 0x200.
inline constexpr std::uint32_t kOnChipPage = 0;
inline constexpr std::uint32_t kExternalFirstPage = 0x200;

// Writes a 32-bit value as four bytes, least significant first (request
// 0x222054); the driver's byte count, 0 on failure.
inline std::uint32_t writeWordBytes(driver::DriverLink& link, std::uint32_t bar, std::uint32_t offset,
                                    std::uint32_t value) {
    std::array<std::uint8_t, 4> bytes{};
    driver::storeU32(bytes, 0, value);
    return link.writeBytes(bar, offset, bytes);
}

}  // namespace pemblor::driver
