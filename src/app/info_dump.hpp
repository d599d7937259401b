#pragma once
// The hex dump of the output list: a header line, then 16 bytes a line, each
// line starting with its offset as "0x%04X " and every byte written as
// "%02X " (so lines end in a blank). The device-information dump and the
// diagnostic report write each category this way.
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

namespace pemblor::app {

using LineSink = std::function<void(std::string_view)>;

// Appends the header and then the rows of bytes; with no bytes, the header alone.
void appendHexDump(std::string_view header, std::span<const std::uint8_t> bytes, const LineSink& append);

// One category of device information as both the dump and the report write
// it: "DevInf: <name>=<c> Length=256 RCount=<count>", the rows of the first
// count bytes of info (never beyond it), and for category 9 the card's own
// line, its template at byte 16 formatted safely with words 1..3.
void appendCategoryDump(std::string_view name, std::uint32_t category, std::span<const std::uint8_t> info,
                        std::uint32_t count, const LineSink& append);

}  // namespace pemblor::app
