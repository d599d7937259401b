#include "driver/replay_text.hpp"

#include <charconv>

#include "driver/little_endian.hpp"

namespace pemblor::driver {

namespace {
void appendNumber(std::string& s, std::uint64_t v, int base = 10) {
    char digits[24];
    s.append(digits, std::to_chars(digits, digits + sizeof digits, v, base).ptr);
}
}  // namespace

void appendFetch(std::string& text, std::uint64_t atMicros) {
    text += "fetch\nat ";
    appendNumber(text, atMicros / 1000);
    const std::uint64_t fraction = atMicros % 1000;
    text += fraction < 10 ? ".00" : fraction < 100 ? ".0" : ".";
    appendNumber(text, fraction);
    text += '\n';
}

void appendRecord(std::string& text, std::span<const std::uint8_t> record) {
    text += "record 0x";
    appendNumber(text, loadU32(record, 0), 16);
    for (std::size_t w = 1; w < 4; ++w) {
        text += ' ';
        appendNumber(text, loadU32(record, w * 4));
    }
    text += '\n';
}

void appendArea(std::string& text, std::uint32_t word, std::uint32_t offset, std::uint64_t from, std::uint64_t length,
                std::string_view dataName) {
    text += "area ";
    appendNumber(text, word);
    text += ' ';
    appendNumber(text, offset);
    text += ' ';
    appendNumber(text, from);
    text += '+';
    appendNumber(text, length);
    text += " @";
    text += dataName;
    text += '\n';
}

}  // namespace pemblor::driver
