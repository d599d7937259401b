#pragma once
// --fps of `recording export` and `replay make`: a rate of pictures a second.
#include <cstdint>
#include <string>

namespace pemblor::cli {

// "25", "29.97" or "30000/1001", 1 to 1000, as num/den; an empty text leaves
// them. False, with a line on standard error and exitCode 2, for anything else.
bool readFpsOption(const std::string& text, std::uint32_t& num, std::uint32_t& den, int& exitCode);

}  // namespace pemblor::cli
