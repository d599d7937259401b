#pragma once
// The card's three memory windows (PCI base-address regions). Bar 0 is a
// 4 MB view of the DSP's address space: the page register DSPP in bar 1
// selects which 4 MB page it shows. Bar 1 holds the EMIFA registers from 0
// and the DSP's PCI-side registers (RSTSRC, HSR, HDCR, DSPP); bar 2 is plain
// I/O space. Bars 1 and 2 take memory only once written; until then they
// read as zeros. Not thread-safe: the card's lock covers it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "sim/dsp/dsp_memory.hpp"
#include "sim/card/sim_buffer.hpp"

namespace pemblor::sim {

inline constexpr std::size_t kBar0Size = 4u << 20;  // "bar0   4M"
inline constexpr std::size_t kBar1Size = 8u << 20;  // "bar1   8M"
inline constexpr std::size_t kBar2Size = 4096;      // "bar2   IO"
inline constexpr std::size_t kBarCount = 3;

// Registers of bar 1 the card acts on.
inline constexpr std::uint32_t kRstsrcOffset = 0x400000;
inline constexpr std::uint32_t kHsrOffset = 0x41FFF0;
inline constexpr std::uint32_t kHdcrOffset = 0x41FFF4;
inline constexpr std::uint32_t kDsppOffset = 0x41FFF8;
// HDCR bits: warm reset of the DSP, and the DSP's doorbell (host interrupt).
inline constexpr std::uint32_t kHdcrWarmReset = 1;
inline constexpr std::uint32_t kHdcrDspInterrupt = 2;
// RSTSRC bit that rings the PCI side's doorbell.
inline constexpr std::uint32_t kRstsrcPciInterrupt = 8;

class MemoryWindows {
public:
    explicit MemoryWindows(StuckBytes stuck = {}) : dsp_(std::move(stuck)) {}

    static std::size_t size(std::uint32_t bar);
    // True when [offset, offset + length) of bar 1 covers a byte of the
    // 32-bit register at registerOffset.
    static bool touches(std::uint32_t offset, std::size_t length, std::uint32_t registerOffset);

    // False when bar or the range [offset, offset + size) lies outside a
    // window, when bar 0 shows no memory (a DSPP page the DSP does not have),
    // or when a window's memory cannot be had.
    bool read(std::uint32_t bar, std::uint32_t offset, std::span<std::uint8_t> out) const;
    bool write(std::uint32_t bar, std::uint32_t offset, std::span<const std::uint8_t> data);

    // A 32-bit register of bar 1 as it stands, and set by the card itself.
    std::uint32_t bar1Word(std::uint32_t offset) const;
    void setBar1Word(std::uint32_t offset, std::uint32_t value);

    DspMemory& dsp() { return dsp_; }
    const DspMemory& dsp() const { return dsp_; }

private:
    static bool inside(std::uint32_t bar, std::uint32_t offset, std::size_t length);
    // The DSP address bar 0 shows at offset, or none when DSPP names no memory.
    std::optional<std::uint32_t> dspAddress(std::uint32_t offset) const;

    std::array<ZeroedBuffer, kBarCount> bars_;  // bar 0 is not used: the DSP memory stands behind it
    DspMemory dsp_;
};

}  // namespace pemblor::sim
