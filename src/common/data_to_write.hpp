#pragma once
// The data-to-write edit's text and the bytes it stands for: the parser that
// Write, Save and the DSP sends share, and the text form that Load shows.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pemblor::common {

// At most this many bytes come from the edit, and a file holds at most this many.
inline constexpr std::size_t kDataCapacity = 512;
inline constexpr std::size_t kDataMaxLines = 64;
inline constexpr std::size_t kDataLineChars = 32;

using DataBuffer = std::array<std::uint8_t, kDataCapacity>;

// Parses the edit's text (lines end in CR LF) into out, which is cleared to
// its first kDataCapacity bytes first. Of each of the first 64 lines the first
// 32 characters count: two hexadecimal digits in a row make one byte, and the
// character after a pair is passed over whatever it is; everything else is
// ignored. Stops at 512 bytes. Returns the number of bytes parsed.
std::size_t parseDataToWrite(std::string_view text, std::span<std::uint8_t> out);

// The text form of bytes: "%02X " each, "\r\n" after every eighth.
std::string dataToWriteText(std::span<const std::uint8_t> bytes);

}  // namespace pemblor::common
