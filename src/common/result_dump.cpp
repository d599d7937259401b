#include "common/result_dump.hpp"

#include "common/printf_line.hpp"

#include <algorithm>
#include <cstdio>

namespace pemblor::common {

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

std::string readHeader(int bar, std::uint32_t address, std::uint32_t length, std::uint32_t rcount) {
    return printfLine("Read:  Bar=%d Addr=0x%08X ,Length=%d RCount=%d", bar, address, static_cast<int>(length),
                           static_cast<int>(rcount));
}

std::string writeHeader(int bar, std::uint32_t address, std::uint32_t length, std::uint32_t rcount) {
    return printfLine("Write: Bar=%d Addr=0x%08X ,Length=%d RCount=%d", bar, address, static_cast<int>(length),
                           static_cast<int>(rcount));
}

}  // namespace pemblor::common
