#include "memory/result_dump.hpp"

#include <algorithm>
#include <cstdio>

namespace pemblor::memory {

void appendByteItem(std::string& text, std::uint8_t byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    text += kHex[byte >> 4];
    text += kHex[byte & 0xF];
    text += ' ';
}

void resultDump(std::string_view header, std::span<const std::uint8_t> bytes,
                const LineSink& appendLine) {
    appendLine(header);
    std::string line;
    line.reserve(7 + 3 * kDumpBytesPerLine);
    for (std::size_t at = 0; at < bytes.size(); at += kDumpBytesPerLine) {
        char offset[16];
        // Offsets beyond four digits (dumps above 64 KiB) simply grow wider.
        const int n = std::snprintf(offset, sizeof offset, "0x%04X ", static_cast<unsigned>(at));
        line.assign(offset, static_cast<std::size_t>(n));
        const std::span<const std::uint8_t> row = bytes.subspan(at, std::min(kDumpBytesPerLine, bytes.size() - at));
        for (const std::uint8_t b : row) appendByteItem(line, b);
        appendLine(line);
    }
}

}  // namespace pemblor::memory
