#include "driver/info_dump.hpp"

#include <algorithm>
#include <array>
#include <string>

#include "common/printf_line.hpp"
#include "common/safe_format.hpp"
#include "driver/little_endian.hpp"
#include "driver/request_codes.hpp"

namespace pemblor::driver {

using common::boundedCString;
using common::printfLine;
using common::safeFormat;

namespace {
// The header states the full answer's length, whatever came back.
constexpr int kInfoLength = static_cast<int>(kInfoAnswerSize);
constexpr std::uint32_t kTemplateCategory = 9;  // "9 DSP Debug Inf": a template and three words
constexpr std::size_t kTemplateOffset = 16;
}  // namespace

void appendCategoryDump(std::string_view name, std::uint32_t category, std::span<const std::uint8_t> info,
                        std::uint32_t count, const common::LineSink& append) {
    const std::string header = printfLine("DevInf: %.*s=%0x Length=%d RCount=%d", static_cast<int>(name.size()),
                                          name.data(), category, kInfoLength, static_cast<int>(count));
    common::resultDump(header, info.first(std::min<std::size_t>(count, info.size())), append);
    if (category == kTemplateCategory && info.size() >= kTemplateOffset) {
        const std::array<std::uint32_t, 3> args{driver::loadU32(info, 4), driver::loadU32(info, 8),
                                                driver::loadU32(info, 12)};
        append(safeFormat(boundedCString(info, kTemplateOffset), args));
    }
}

}  // namespace pemblor::driver
