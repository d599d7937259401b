#include "capture/debug_lines.hpp"

#include <algorithm>
#include <cstdio>

#include "driver/little_endian.hpp"

namespace pemblor::capture {

std::string_view formatDebugTime(const ui::LocalTime& t, std::span<char, 16> out) {
    const int n = std::snprintf(out.data(), out.size(), "%02d-%02d %02d:%02d:%02d ", t.month % 100, t.day % 100,
                                t.hour % 100, t.minute % 100, t.second % 100);
    return {out.data(), static_cast<std::size_t>(std::clamp(n, 0, static_cast<int>(out.size()) - 1))};
}

std::size_t formatDebugLine(std::string_view timeText, std::span<const std::uint8_t, kDebugRecordSize> record,
                            std::span<char, kMaxDebugLine> out) {
    using driver::loadU32;
    const int n = std::snprintf(out.data(), out.size(), "%.*s%04X 0x%08X,0x%X,0x%X,0x%X\r\n",
                                static_cast<int>(timeText.size()), timeText.data(), loadU32(record, 64),
                                loadU32(record, 0), loadU32(record, 4), loadU32(record, 8), loadU32(record, 12));
    return static_cast<std::size_t>(std::clamp(n, 0, static_cast<int>(out.size()) - 1));
}

std::size_t debugRecordCount(std::size_t areaSize, std::uint32_t offset, std::uint32_t n) {
    const std::size_t announced = (std::size_t{n} + kDebugRecordSize - 1) / kDebugRecordSize;
    if (offset >= areaSize) return 0;
    return std::min(announced, (areaSize - offset) / kDebugRecordSize);
}

}  // namespace pemblor::capture
