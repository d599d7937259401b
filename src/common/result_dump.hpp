#pragma once
// The hex dump every memory operation and the device-information dump show:
// a header line, then lines of up to 16 bytes, each line "0x%04X " (its
// offset) followed by "%02X " per byte. With no bytes only the header shows.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace pemblor::common {

inline constexpr std::size_t kDumpBytesPerLine = 16;

// Where lines go: the output list, as a rule.
using LineSink = std::function<void(std::string_view)>;

// Appends one byte as "%02X " (two upper-case digits and a blank).
void appendByteItem(std::string& text, std::uint8_t byte);

// Hands the header and the dump lines of bytes, in order, to appendLine.
void resultDump(std::string_view header, std::span<const std::uint8_t> bytes,
                const LineSink& appendLine);

// "Read:  Bar=%d Addr=0x%08X ,Length=%d RCount=%d" and its Write twin: the
// header line of a memory operation's dump.
std::string readHeader(int bar, std::uint32_t address, std::uint32_t length, std::uint32_t rcount);
std::string writeHeader(int bar, std::uint32_t address, std::uint32_t length, std::uint32_t rcount);

}  // namespace pemblor::common
