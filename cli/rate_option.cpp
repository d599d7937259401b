#include "rate_option.hpp"

#include "cli_conventions.hpp"

#include <cstdio>
#include <iostream>

namespace pemblor::cli {

// "25", "29.97" or "30000/1001", 1 to 1000 pictures a second.
static bool parseRate(const std::string& text, std::uint32_t& num, std::uint32_t& den) {
    unsigned long a = 0, b = 1;
    char slash = 0, rest = 0;
    double d = 0;
    if (std::sscanf(text.c_str(), "%lu%c%lu%c", &a, &slash, &b, &rest) == 3 && slash == '/') {
        d = b ? static_cast<double>(a) / static_cast<double>(b) : 0;
    } else if (std::sscanf(text.c_str(), "%lf%c", &d, &rest) == 1) {
        b = 1000;
        a = static_cast<unsigned long>(d * 1000 + 0.5);
    } else {
        return false;
    }
    if (!(d >= 1 && d <= 1000) || b == 0 || a > 0xFFFFFFFFul || b > 0xFFFFFFFFul) return false;
    num = static_cast<std::uint32_t>(a);
    den = static_cast<std::uint32_t>(b);
    return true;
}

bool readFpsOption(const std::string& text, std::uint32_t& num, std::uint32_t& den, int& exitCode) {
    if (text.empty() || parseRate(text, num, den)) return true;
    exitCode = fail("--fps", "'" + text + "' is not a rate from 1 to 1000 (25, 29.97 or 30000/1001)", kExitUsage);
    return false;
}

}  // namespace pemblor::cli
