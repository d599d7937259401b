#include "common/data_to_write.hpp"

#include <algorithm>

#include "common/result_dump.hpp"

namespace pemblor::common {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kBytesPerLine = 8;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Appends the pairs of one line to out from count on; returns the new count.
std::size_t parseLine(std::string_view line, std::span<std::uint8_t> out, std::size_t count, std::size_t limit) {
    line = line.substr(0, kDataLineChars);
    std::size_t p = 0;
    while (p + 1 < line.size() && count < limit) {
        const int high = hexValue(line[p]);
        const int low = hexValue(line[p + 1]);
        if (high < 0 || low < 0) {
            ++p;
            continue;
        }
        out[count++] = static_cast<std::uint8_t>(high << 4 | low);
        p += 3;  // the character after a pair is never looked at
    }
    return count;
}

}  // namespace

std::size_t parseDataToWrite(std::string_view text, std::span<std::uint8_t> out) {
    const std::size_t limit = std::min(out.size(), kDataCapacity);
    std::fill_n(out.begin(), limit, std::uint8_t{0});
    std::size_t count = 0;
    std::size_t start = 0;
    for (std::size_t n = 0; n < kDataMaxLines && count < limit; ++n) {
        const std::size_t end = text.find(kLineEnd, start);
        count = parseLine(text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start),
                          out, count, limit);
        if (end == std::string_view::npos) break;
        start = end + kLineEnd.size();
    }
    return count;
}

std::string dataToWriteText(std::span<const std::uint8_t> bytes) {
    std::string text;
    text.reserve(bytes.size() * 3 + bytes.size() / kBytesPerLine * kLineEnd.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        appendByteItem(text, bytes[i]);
        if ((i + 1) % kBytesPerLine == 0) text += kLineEnd;
    }
    return text;
}

}  // namespace pemblor::common
