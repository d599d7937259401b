#pragma once
// How the console reads a number the operator typed (address, length, debug
// function number, watch address): the C library's strtoul with base 0 on a
// 32-bit platform, applied to the first 10 characters of the text.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace pemblor::common {

// Only this many leading characters of a typed number count.
inline constexpr std::size_t kNumberTextLimit = 10;

// Reads an unsigned 32-bit number from the start of text (cut to its first 10
// characters): leading blanks skipped, one sign, "0x"/"0X" hexadecimal, a
// leading "0" octal, else decimal; reading stops at the first character that
// does not belong to the number. No digits give 0; a value beyond 32 bits
// gives 0xFFFFFFFF; a minus sign negates modulo 2^32.
std::uint32_t parseTypedNumber(std::string_view text);

}  // namespace pemblor::common
