#pragma once
// One category of device information as the device-information dump and the
// diagnostic report write it into the output list.
#include <cstdint>
#include <span>
#include <string_view>

#include "common/result_dump.hpp"

namespace pemblor::driver {

// "DevInf: <name>=<c> Length=256 RCount=<count>", the hex rows of the first
// count bytes of info (never beyond it), and for category 9 the card's own
// line: its template at byte 16 formatted safely with words 1..3.
void appendCategoryDump(std::string_view name, std::uint32_t category, std::span<const std::uint8_t> info,
                        std::uint32_t count, const common::LineSink& append);

}  // namespace pemblor::driver
