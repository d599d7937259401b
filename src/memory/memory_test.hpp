#pragma once
// "6 MemTest": resets the DSP, programs its external memory interface, and
// writes and reads back the patterns 0xFF and 0x00 through the 4 MB window,
// first in the on-chip memory, then in the first 1024 bytes of each of the
// 32 pages of external memory. 836 requests, none larger than 1036 bytes.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

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

// The first wrong byte of a part: its DSP address, the pattern written and
// what came back (for a refused read, the pattern's complement).
struct MemoryFault {
    std::uint32_t address = 0;
    std::uint8_t written = 0;
    std::uint8_t read = 0;
    bool refused = false;  // the card refused the read
};

// One part of the test (on chip, or external): each read-back of a piece
// (on chip) or a page (external), for both patterns.
struct MemoryPartResult {
    bool tested = false;
    std::uint32_t reads = 0;     // pieces or pages read back
    std::uint32_t bad = 0;       // of them, with a wrong byte or a refused read
    std::uint32_t refused = 0;   // of them, refused by the card
    std::optional<MemoryFault> first;

    bool passed() const { return tested && bad == 0; }
};

struct MemoryTestResult {
    MemoryPartResult onChip;
    MemoryPartResult external;
    bool passed() const { return onChip.passed() && external.passed(); }
};

// The console stops after a failed on-chip part; the self-test goes on.
enum class AfterOnChipFailure { kStop, kTestExternal };

// The whole test against the open device, reporting line by line, with what
// each part found. sleep waits the reset's settling time.
MemoryTestResult testMemory(driver::DriverLink& link, const std::function<void(int ms)>& sleep,
                            const LineSink& appendLine, AfterOnChipFailure after = AfterOnChipFailure::kStop);

// Runs the whole test against the open device, reporting line by line.
// Returns true when every piece and page held both patterns. A read that the
// card refuses fails its piece or page, as a wrong byte does.
bool runMemoryTest(driver::DriverLink& link, ui::Host& host, const LineSink& appendLine);

}  // namespace pemblor::memory
