#include "app/info_dump.hpp"

#include <algorithm>
#include <array>
#include <string>

#include "app/printf_line.hpp"
#include "app/safe_format.hpp"
#include "driver/little_endian.hpp"

namespace pemblor::app {

namespace {
constexpr std::size_t kRowBytes = 16;
constexpr int kInfoLength = 256;              // what the header states, whatever came back
constexpr std::uint32_t kTemplateCategory = 9;  // "9 DSP Debug Inf": a template and three words
constexpr std::size_t kTemplateOffset = 16;
}  // namespace

void appendHexDump(std::string_view header, std::span<const std::uint8_t> bytes, const LineSink& append) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string line(header);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i % kRowBytes == 0) {
            append(line);
            line = printfLine("0x%04X ", static_cast<unsigned>(i));
        }
        line += kHex[bytes[i] >> 4];
        line += kHex[bytes[i] & 0xF];
        line += ' ';
    }
    append(line);
}

void appendCategoryDump(std::string_view name, std::uint32_t category, std::span<const std::uint8_t> info,
                        std::uint32_t count, const LineSink& append) {
    const std::string header = printfLine("DevInf: %.*s=%0x Length=%d RCount=%d", static_cast<int>(name.size()),
                                          name.data(), category, kInfoLength, static_cast<int>(count));
    appendHexDump(header, info.first(std::min<std::size_t>(count, info.size())), append);
    if (category == kTemplateCategory && info.size() >= kTemplateOffset) {
        const std::array<std::uint32_t, 3> args{driver::loadU32(info, 4), driver::loadU32(info, 8),
                                                driver::loadU32(info, 12)};
        append(safeFormat(boundedCString(info, kTemplateOffset), args));
    }
}

}  // namespace pemblor::app
