#pragma once
// DSP debug records (72 bytes, little-endian words) turned into the text lines
// of the DSP debug file: "06-18 09:14:24 0012 0x00000001,0x2,0x3,0x4" CR LF,
// the local time of the message, word 16, then words 0 to 3.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "ui/host.hpp"

namespace pemblor::capture {

inline constexpr std::size_t kDebugRecordSize = 72;
// Longest line: the time text, five words in hexadecimal, the separators, CR LF.
inline constexpr std::size_t kMaxDebugLine = 96;

// "%m-%d %H:%M:%S " of a local time, with its blank; out holds 16 characters.
std::string_view formatDebugTime(const ui::LocalTime& t, std::span<char, 16> out);

// One line for a record into out; returns its length.
std::size_t formatDebugLine(std::string_view timeText, std::span<const std::uint8_t, kDebugRecordSize> record,
                            std::span<char, kMaxDebugLine> out);

// How many records a message of byte count n at offset covers: n / 72 rounded
// up, but only records that lie whole inside an area of areaSize bytes.
std::size_t debugRecordCount(std::size_t areaSize, std::uint32_t offset, std::uint32_t n);

}  // namespace pemblor::capture
