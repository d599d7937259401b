#include "common/number_entry.hpp"

namespace pemblor::common {

namespace {

constexpr std::uint64_t kOverflow = std::uint64_t{1} << 32;

bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The value of c as a digit, or a value at least 36 when it is none.
unsigned digitValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'z') return static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned>(c - 'A' + 10);
    return 36;
}

}  // namespace

std::uint32_t parseTypedNumber(std::string_view text) {
    const std::string_view s = text.substr(0, kNumberTextLimit);
    std::size_t i = 0;
    while (i < s.size() && isBlank(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';

    unsigned base = 10;
    if (i < s.size() && s[i] == '0') {
        base = 8;
        // "0x" counts as a prefix only when a hexadecimal digit follows;
        // otherwise the number is the "0" alone.
        if (i + 2 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X') && digitValue(s[i + 2]) < 16) {
            base = 16;
            i += 2;
        }
    }
    std::uint64_t value = 0;
    bool any = false;
    for (; i < s.size(); ++i) {
        const unsigned d = digitValue(s[i]);
        if (d >= base) break;
        any = true;
        // Ten characters cannot overflow 64 bits; keep it saturated all the same.
        value = value * base + d;
        if (value >= kOverflow) value = kOverflow;
    }
    if (!any) return 0;
    if (value >= kOverflow) return 0xFFFFFFFFu;
    const auto v = static_cast<std::uint32_t>(value);
    return negative ? static_cast<std::uint32_t>(0u - v) : v;
}

}  // namespace pemblor::common
