// The operator's texts: typed numbers, the data-to-write parser and its text
// form, and the result dump. One table per rule.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "memory/data_to_write.hpp"
#include "memory/number_entry.hpp"
#include "memory/result_dump.hpp"

namespace pemblor::memory {
namespace {

using ::testing::ElementsAre;
using Bytes = std::vector<std::uint8_t>;

TEST(TypedNumber, FollowsTheTableOfCases) {
    const struct {
        const char* text;
        std::uint32_t value;
    } kCases[] = {
        {"0x0041FFF0 HSR", 0x0041FFF0},  // the name after the number is ignored
        {"0x004000000", 0x00400000},     // only the first ten characters count
        {"0x80", 0x80},
        {"0X1f", 0x1F},
        {"36", 36},  // decimal, whatever the label says
        {"20", 20},
        {"010", 8},  // a leading 0 is octal
        {"0777", 511},
        {"09", 0},     // 9 is no octal digit: the number is the 0
        {"0x", 0},     // no hexadecimal digit after the prefix: the 0 alone
        {"0xg1", 0},
        {"0x1G", 1},
        {"", 0},
        {"HSR", 0},  // no number at all
        {"   12", 12},
        {"\t\r\n0x10", 0x10},
        {"+7", 7},
        {"-1", 0xFFFFFFFF},  // negated modulo 2^32
        {"-0x10", 0xFFFFFFF0},
        {"-999999999", 0u - 999999999u},
        {"--1", 0},
        {"- 1", 0},
        {"+-1", 0},
        {"4294967295", 0xFFFFFFFF},
        {"4294967296", 0xFFFFFFFF},  // beyond 32 bits
        {"9999999999", 0xFFFFFFFF},
        {"99999999999", 0xFFFFFFFF},  // cut to ten nines, still too large
        {"0xFFFFFFFF", 0xFFFFFFFF},
        {"  0x12345678", 0x123456},   // the blanks count towards the ten
        {"1234567890123", 1234567890},
        {"         0x1", 0},  // "0x" is cut from its digit
    };
    for (const auto& c : kCases) EXPECT_EQ(parseTypedNumber(c.text), c.value) << '"' << c.text << '"';
}

Bytes parse(const std::string& text) {
    Bytes out(kDataCapacity, 0xEE);
    const std::size_t n = parseDataToWrite(text, out);
    // Everything after the parsed bytes is cleared, up to the capacity.
    for (std::size_t i = n; i < kDataCapacity; ++i) EXPECT_EQ(out[i], 0) << "at " << i << " of \"" << text << '"';
    out.resize(n);
    return out;
}

std::string lines(std::size_t count, const std::string& line) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) text += (i ? "\r\n" : "") + line;
    return text;
}

TEST(DataToWrite, ParsesPairsLineByLineAsTheTableSays) {
    const struct {
        std::string text;
        Bytes bytes;
    } kCases[] = {
        {"00 11 22 33 44 55 66 77", {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77}},
        {"AABBCC", {0xAA, 0xBC}},  // the character after a pair is passed over
        {"A B C", {}},
        {"0x12 0x34", {0x12, 0x34}},
        {"7", {}},  // shorter than two characters
        {"0011", {0x00}},
        {"ab cd", {0xAB, 0xCD}},
        {"01 02\r\n03\r\n\r\n04", {1, 2, 3, 4}},
        {"12\n34", {0x12, 0x34}},  // a lone LF is no line end
        {"GG 1\x80 45", {0x45}},
        // 32 characters of a line count: 11 pairs, the twelfth is cut.
        {"00 11 22 33 44 55 66 77 88 99 AA BB", {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA}},
        {"", {}},
    };
    for (const auto& c : kCases) EXPECT_EQ(parse(c.text), c.bytes) << '"' << c.text << '"';
}

TEST(DataToWrite, StopsAtSixtyFourLinesAndAtFiveHundredTwelveBytes) {
    // 64 lines of eight bytes fill the buffer; the 65th is never read.
    const Bytes full = parse(lines(64, "11 22 33 44 55 66 77 88") + "\r\nFF FF");
    ASSERT_EQ(full.size(), 512u);
    EXPECT_EQ(full[511], 0x88);
    // Only 64 lines are read even when they hold fewer bytes.
    EXPECT_EQ(parse(lines(64, "01") + "\r\n02").size(), 64u);
    // Eleven a line would give 704; parsing stops at 512.
    const Bytes cut = parse(lines(64, "00 11 22 33 44 55 66 77 88 99 AA"));
    ASSERT_EQ(cut.size(), 512u);
    EXPECT_EQ(cut[511], 0x55);  // 46 full lines are 506 bytes, then 00 to 55 of the 47th
    // A buffer smaller than the capacity is never overrun.
    Bytes small(3);
    EXPECT_EQ(parseDataToWrite("01 02 03 04 05", small), 3u);
    EXPECT_EQ(small, (Bytes{1, 2, 3}));
}

TEST(DataToWrite, TextFormHasEightBytesALineAndParsesBack) {
    EXPECT_EQ(dataToWriteText(Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}), "01 02 03 04 05 06 07 08 \r\n09 ");
    EXPECT_EQ(dataToWriteText(Bytes{0xAB, 0, 0, 0, 0, 0, 0, 0xFF}), "AB 00 00 00 00 00 00 FF \r\n");
    EXPECT_EQ(dataToWriteText({}), "");
    Bytes all(512);
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint8_t>(i * 37 + 11);
    const std::string text = dataToWriteText(all);
    EXPECT_EQ(text.size(), 64u * 26u);  // 24 characters and a line end, 64 lines
    EXPECT_EQ(parse(text), all);
}

TEST(ResultDump, HeaderThenSixteenBytesALineEachWithItsOffset) {
    std::vector<std::string> out;
    const auto sink = [&](std::string_view l) { out.emplace_back(l); };
    resultDump("H0", {}, sink);
    EXPECT_THAT(out, ElementsAre("H0"));

    out.clear();
    Bytes bytes(33);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(0xF0 + i);
    resultDump("H", bytes, sink);
    EXPECT_THAT(out, ElementsAre("H",
                                 "0x0000 F0 F1 F2 F3 F4 F5 F6 F7 F8 F9 FA FB FC FD FE FF ",
                                 "0x0010 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F ",
                                 "0x0020 10 "));
}

}  // namespace
}  // namespace pemblor::memory
