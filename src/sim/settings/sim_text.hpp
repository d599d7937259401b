#pragma once
// Small text readers shared by --cards and --sim-config: strict numbers, lists
// and hex byte strings. Strict on purpose: a typo in a fault setting must be
// refused, not read as something else.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pemblor::sim {

std::string_view trimBlanks(std::string_view text);

// "123" or "0x7B" (any case); nothing else, nothing after it, at most 32 bits.
std::optional<std::uint32_t> parseNumber(std::string_view text);

// parseNumber with a reason: "'x' is not a 32-bit number (decimal or 0x hex)".
bool readNumber(std::string_view text, std::uint32_t& value, std::string& reason);

// Items separated by commas and/or blanks ("1,2", "1 2", "1, 2"). An empty
// text is an empty list; an empty item ("1,,2", ",1", "1,") is refused.
std::optional<std::vector<std::string_view>> splitList(std::string_view text);

// Hex bytes, as pairs of digits, in groups separated by blanks or commas
// ("01 02 0A", "01020A", "0x01,0x02"). False and a reason on anything else.
bool parseHexBytes(std::string_view text, std::vector<std::uint8_t>& bytes, std::string& error);

// Hands each line of a settings or replay text to onLine (a UTF-8 byte order
// mark dropped, lines of at most common::kMaxTextLine bytes). The first line
// refused ends the reading: false, and error "FILE:LINE: reason" with the
// reason safe to echo.
using LineReader = std::function<bool(std::string_view line, int number, std::string& reason)>;
bool readLines(std::string_view text, std::string_view fileName, const LineReader& onLine, std::string& error);

}  // namespace pemblor::sim
