#pragma once
// Read and Write of the memory tools: the seven address types, their limits
// and the requests each sends, and the header line of the result dump.
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "driver/driver_link.hpp"

namespace pemblor::memory {

// The items of the address-type list, in its order.
enum class AddressType : int {
    Bar0 = 0,             // "bar0   4M"
    Bar1 = 1,             // "bar1   8M"
    Bar2 = 2,             // "bar2   IO"
    OriginalVideo = 3,    // "Original Video Field"
    DspField = 4,         // "DSP Address Field"
    DecoderRegister = 5,  // "2804 Register"
    Physical = 6,         // "Physical Address"
};

inline constexpr std::uint32_t kMaxTransferLength = 512;
// Addresses are limited to this value itself, not to the byte below it.
inline constexpr std::uint32_t kAddressLimit = 0x800000;
inline constexpr std::size_t kTransferBufferSize = 2048;
// Each decoder-chip register answers 16 bytes; the dump gives it one line.
inline constexpr std::size_t kRegisterAnswerSize = 16;
inline constexpr std::uint32_t kBar2WriteLength = 4;

using TransferBuffer = std::array<std::uint8_t, kTransferBufferSize>;

// One operation as the operator set it up; type is the list's selection (any
// value: one outside 0..6 sends nothing).
struct Transfer {
    int type = 1;
    std::uint32_t address = 0;
    std::uint32_t length = 0;
};

// The outcome: the transfer as sent (after the limits) and the bytes to dump,
// a view into the caller's buffer.
struct TransferResult {
    Transfer sent;
    std::uint32_t rcount = 0;
    std::span<const std::uint8_t> dump;
};

// Read: clears the whole buffer, limits, sends the type's request(s). The dump
// is RCount bytes (four per register line of the decoder chip).
TransferResult readMemory(driver::DriverLink& link, Transfer t, TransferBuffer& buffer);
// Write: buffer already holds the parsed data (zeros beyond it); limits, sends
// the type's request. The dump is the length written, as the buffer stands
// after the request.
TransferResult writeMemory(driver::DriverLink& link, Transfer t, TransferBuffer& buffer);


}  // namespace pemblor::memory
