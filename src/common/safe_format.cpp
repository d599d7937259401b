#include "common/safe_format.hpp"

#include <algorithm>
#include <cstdio>

namespace pemblor::common {

namespace {

bool isFlag(char c) { return c == '-' || c == '+' || c == ' ' || c == '#' || c == '0'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isConversion(char c) {
    return c == 'd' || c == 'i' || c == 'u' || c == 'x' || c == 'X' || c == 'o' || c == 'c';
}

// Reads up to a few digits as a number, capped; advances i.
int readNumber(std::string_view s, std::size_t& i) {
    long v = 0;
    while (i < s.size() && isDigit(s[i])) {
        v = std::min<long>(v * 10 + (s[i] - '0'), 1000000);
        ++i;
    }
    return static_cast<int>(std::min<long>(v, kMaxFormatWidth));
}

// Formats one conversion whose parts were checked; the format handed to
// snprintf is built here, never taken from the card.
std::string convert(std::string_view flags, int width, int precision, std::string_view length, char conv,
                    std::uint32_t arg) {
    std::string fmt = "%";
    fmt.append(flags);
    if (width >= 0) fmt += std::to_string(width);
    if (precision >= 0) fmt += "." + std::to_string(precision);
    fmt += conv;
    char buf[2 * kMaxFormatWidth + 64];
    int n = 0;
    if (conv == 'c') {
        const char ch = static_cast<char>(arg & 0xFF);
        if (ch == '\0') {
            // A NUL character would cut the line short; pad as printf would, without it.
            fmt = "%" + std::string(flags) + (width > 0 ? std::to_string(width - 1) : "") + "s";
            n = std::snprintf(buf, sizeof buf, fmt.c_str(), "");
        } else {
            n = std::snprintf(buf, sizeof buf, fmt.c_str(), ch);
        }
    } else if (conv == 'd' || conv == 'i') {
        int v = static_cast<std::int32_t>(arg);
        if (length == "h") v = static_cast<short>(arg);
        if (length == "hh") v = static_cast<signed char>(arg);
        n = std::snprintf(buf, sizeof buf, fmt.c_str(), v);
    } else {
        unsigned v = arg;
        if (length == "h") v = static_cast<unsigned short>(arg);
        if (length == "hh") v = static_cast<unsigned char>(arg);
        n = std::snprintf(buf, sizeof buf, fmt.c_str(), v);
    }
    if (n < 0) return {};
    return std::string(buf, static_cast<std::size_t>(std::min<int>(n, sizeof buf - 1)));
}

}  // namespace

std::string safeFormat(std::string_view s, std::span<const std::uint32_t> args) {
    std::string out;
    out.reserve(s.size() + 16);
    std::size_t next = 0;
    std::size_t i = 0;
    while (i < s.size()) {
        if (s[i] != '%') {
            out += s[i++];
            continue;
        }
        const std::size_t start = i++;
        if (i < s.size() && s[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        const std::size_t flagsAt = i;
        while (i < s.size() && isFlag(s[i]) && i - flagsAt < 5) ++i;
        const std::string_view flags = s.substr(flagsAt, i - flagsAt);
        const int width = (i < s.size() && isDigit(s[i])) ? readNumber(s, i) : -1;
        int precision = -1;
        if (i < s.size() && s[i] == '.') {
            ++i;
            precision = readNumber(s, i);
        }
        const std::size_t lengthAt = i;
        if (i < s.size() && (s[i] == 'h' || s[i] == 'l')) {
            ++i;
            if (i < s.size() && s[i] == s[i - 1]) ++i;
        }
        const std::string_view length = s.substr(lengthAt, i - lengthAt);
        if (i < s.size() && isConversion(s[i]) && next < args.size()) {
            out += convert(flags, width, precision, length, s[i], args[next++]);
            ++i;
        } else {
            // Not ours to format (or no argument left): show the text as it stands.
            i = start + 1;
            out += '%';
        }
    }
    return out;
}

std::string_view boundedCString(std::span<const std::uint8_t> buf, std::size_t offset) {
    if (offset >= buf.size()) return {};
    const auto* begin = reinterpret_cast<const char*>(buf.data() + offset);
    const std::size_t max = buf.size() - offset;
    std::size_t n = 0;
    while (n < max && begin[n] != '\0') ++n;
    return {begin, n};
}

}  // namespace pemblor::common
