#pragma once
// Lines of a replay file, as the traffic recorder and `replay make` write
// them (the simulated card reads them back): a fetch with its time, its
// notification records, and the area bytes it brings from a data file.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace pemblor::driver {

// "fetch" and "at MS" with three decimals.
void appendFetch(std::string& text, std::uint64_t atMicros);
// "record 0xCODE W1 W2 W3" of a 16-byte notification record.
void appendRecord(std::string& text, std::span<const std::uint8_t> record);
// "area WORD OFFSET FROM+N @DATA".
void appendArea(std::string& text, std::uint32_t word, std::uint32_t offset, std::uint64_t from, std::uint64_t length,
                std::string_view dataName);

}  // namespace pemblor::driver
