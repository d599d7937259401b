#pragma once
// "6 MemTest": resets the DSP, programs its external memory interface, and
// writes and reads back the patterns 0xFF and 0x00 through the 4 MB window,
// first in the on-chip memory, then in the first 1024 bytes of each of the
// 32 pages of external memory. 836 requests, none larger than 1036 bytes.
#include <cstddef>
#include <cstdint>

#include "driver/driver_link.hpp"
#include "driver/card_registers.hpp"
#include "common/result_dump.hpp"
#include "ui/host.hpp"

namespace pemblor::memory {

using common::LineSink;

inline constexpr std::uint32_t kExternalPagesTested = 32;
inline constexpr std::size_t kTestPieceSize = 1024;
inline constexpr std::uint32_t kOnChipWritten = 0x40000;   // 256 KB written...
inline constexpr std::uint32_t kOnChipChecked = 0x10000;   // ...64 KB read back
inline constexpr int kResetSettleMs = 100;

// Runs the whole test against the open device, reporting line by line.
// Returns true when every piece and page held both patterns. A read that the
// card refuses fails its piece or page, as a wrong byte does.
bool runMemoryTest(driver::DriverLink& link, ui::Host& host, const LineSink& appendLine);

}  // namespace pemblor::memory
