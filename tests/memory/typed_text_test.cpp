// The operator's texts: typed numbers and the data-to-write parser and text
// form, one table per rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/data_to_write.hpp"
#include "common/number_entry.hpp"

namespace pemblor::memory {

using common::dataToWriteText;
using common::kDataCapacity;
using common::parseDataToWrite;
using common::kNumberTextLimit;
using common::parseTypedNumber;

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(TypedNumber, FollowsTheTableOfCases) {
    const struct {
        const char* text;
        std::uint32_t value;
    } kCases[] = {
        {"0x0041FFF0 HSR", 0x0041FFF0}, {"0x004000000", 0x00400000},  // a name ignored; ten characters count
        {"0X1f", 0x1F}, {"36", 36}, {"0777", 511}, {"09", 0},            // decimal whatever the label; octal
        {"0x", 0}, {"0xg1", 0}, {"0x1G", 1}, {"", 0}, {"HSR", 0},       // no digit after "0x": the 0 alone
        {"\t\r\n 0x10", 0x10}, {"+7", 7}, {"--1", 0}, {"- 1", 0},
        {"-1", 0xFFFFFFFF}, {"-0x10", 0xFFFFFFF0}, {"-999999999", 0u - 999999999u},  // modulo 2^32
        {"4294967295", 0xFFFFFFFF}, {"4294967296", 0xFFFFFFFF}, {"99999999999", 0xFFFFFFFF},  // beyond 32 bits
        {"  0x12345678", 0x123456}, {"1234567890123", 1234567890}, {"         0x1", 0},  // blanks count too
        {"0x0041FFF8 DSPP\t\t", 0x0041FFF8}, {"010", 8}, {"42abc", 42},  // watch lines
    };
    for (const auto& c : kCases) {
        EXPECT_EQ(parseTypedNumber(c.text), c.value) << '"' << c.text << '"';
        // Within 32 bits the C library reads the same ten characters alike.
        const std::string ten = std::string(c.text).substr(0, kNumberTextLimit);
        const unsigned long lib = std::strtoul(ten.c_str(), nullptr, 0);
        if (lib <= 0xFFFFFFFFul || ten.find('-') != std::string::npos) {
            EXPECT_EQ(parseTypedNumber(c.text), static_cast<std::uint32_t>(lib)) << '"' << c.text << '"';
        }
    }
}

Bytes parse(const std::string& text) {
    Bytes out(kDataCapacity, 0xEE);
    const std::size_t n = parseDataToWrite(text, out);
    // Everything after the parsed bytes is cleared, up to the capacity.
    EXPECT_EQ(std::count(out.begin() + static_cast<long>(n), out.end(), 0), static_cast<long>(kDataCapacity - n));
    out.resize(n);
    return out;
}

// The first n bytes of unit repeated.
Bytes repeated(const Bytes& unit, std::size_t n) {
    Bytes out(n);
    for (std::size_t i = 0; i < n; ++i) out[i] = unit[i % unit.size()];
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
        {"7", {}},
        {"ab cd", {0xAB, 0xCD}},
        {"01 02\r\n03\r\n\r\n04", {1, 2, 3, 4}},
        {"12\n34", {0x12, 0x34}},  // a lone LF is no line end
        // 32 characters of a line count: 11 pairs, the twelfth is cut.
        {"00 11 22 33 44 55 66 77 88 99 AA BB", {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA}},
        // 64 lines of eight fill the buffer; the 65th is never read.
        {lines(64, "11 22 33 44 55 66 77 88") + "\r\nFF",
         repeated({0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}, 512)},
        {lines(64, "01") + "\r\n02", Bytes(64, 1)},
        // Eleven a line would give 704: parsing stops at 512.
        {lines(64, "00 11 22 33 44 55 66 77 88 99 AA"),
         repeated({0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA}, 512)},
    };
    for (const auto& c : kCases) EXPECT_EQ(parse(c.text), c.bytes) << '"' << c.text.substr(0, 40) << '"';
}

TEST(DataToWrite, TextFormHasEightBytesALineAndParsesBack) {
    EXPECT_EQ(dataToWriteText(Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}), "01 02 03 04 05 06 07 08 \r\n09 ");
    EXPECT_EQ(dataToWriteText(Bytes{0xAB, 0, 0, 0, 0, 0, 0, 0xFF}), "AB 00 00 00 00 00 00 FF \r\n");
    Bytes all(512);
    for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<std::uint8_t>(i * 37 + 11);
    const std::string text = dataToWriteText(all);
    EXPECT_EQ(text.size(), 64u * 26u);  // 24 characters and a line end, 64 lines
    EXPECT_EQ(parse(text), all);
    // A buffer smaller than the capacity is never overrun.
    Bytes small(3);
    EXPECT_EQ(parseDataToWrite("01 02 03 04 05", small), 3u);
    EXPECT_EQ(small, (Bytes{1, 2, 3}));
}

}  // namespace
}  // namespace pemblor::memory
