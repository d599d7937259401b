#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "common/safe_format.hpp"

namespace pemblor::common {
namespace {

std::string fmt3(std::string_view t, std::uint32_t a = 0, std::uint32_t b = 0, std::uint32_t c = 0) {
    const std::array<std::uint32_t, 3> args{a, b, c};
    return safeFormat(t, args);
}

TEST(SafeFormat, IntegerConversionsMatchPrintf) {
    EXPECT_EQ(fmt3("state %d load %u%%", 21, 75), "state 21 load 75%");
    EXPECT_EQ(fmt3("%d", 0xFFFFFFFFu), "-1");
    EXPECT_EQ(fmt3("%i|%u", 0x80000000u, 0x80000000u), "-2147483648|2147483648");
    EXPECT_EQ(fmt3("%08X %x %#x", 0xBEEF, 0xABC, 255), "0000BEEF abc 0xff");
    EXPECT_EQ(fmt3("%#o|%#x", 255, 0), "0377|0");
    EXPECT_EQ(fmt3("[%-5d][%5d][%+d]", 42, 42, 42), "[42   ][   42][+42]");
    EXPECT_EQ(fmt3("[% d]", 0), "[ 0]");
    EXPECT_EQ(fmt3("%.4d|%c%c", 7, 'O', 'K'), "0007|OK");
    EXPECT_EQ(fmt3("%hd %hhu %lu", 0x12345678, 0x1FF, 5), "22136 255 5");
    EXPECT_EQ(fmt3("%llx", 0xAB), "ab");
}

TEST(SafeFormat, HostileTemplatesAreShownNotInterpreted) {
    EXPECT_EQ(fmt3("%s and %n and %p", 1, 2, 3), "%s and %n and %p");
    EXPECT_EQ(fmt3("%f %e %5s %*d"), "%f %e %5s %*d");
    // A fourth conversion has no argument: it stands as written.
    EXPECT_EQ(fmt3("%d %d %d %d", 1, 2, 3), "1 2 3 %d");
    EXPECT_EQ(fmt3("trailing %"), "trailing %");
    EXPECT_EQ(fmt3("%-", 1), "%-");
}

TEST(SafeFormat, WidthsAreCapped) {
    const std::string huge = fmt3("%99999d", 5);
    EXPECT_EQ(huge.size(), static_cast<std::size_t>(kMaxFormatWidth));
    EXPECT_EQ(huge.back(), '5');
    EXPECT_EQ(fmt3("%.99999999999x", 1).size(), static_cast<std::size_t>(kMaxFormatWidth));
}

TEST(SafeFormat, NulCharacterDoesNotCutTheLine) {
    EXPECT_EQ(fmt3("a%cb", 0), "ab");
    EXPECT_EQ(fmt3("a%3cb", 0), "a  b");
}

TEST(SafeFormat, FewerArgumentsThanConversions) {
    const std::vector<std::uint32_t> one{9};
    EXPECT_EQ(safeFormat("%d %d", one), "9 %d");
    EXPECT_EQ(safeFormat("%d", {}), "%d");
}

TEST(BoundedCString, StopsAtNulOrBufferEnd) {
    std::array<std::uint8_t, 24> buf{};
    for (std::size_t i = 16; i < buf.size(); ++i) buf[i] = 'A';
    EXPECT_EQ(boundedCString(buf, 16), "AAAAAAAA");  // no NUL: stops at the end
    buf[18] = 0;
    EXPECT_EQ(boundedCString(buf, 16), "AA");
    EXPECT_EQ(boundedCString(buf, 24), "");
    EXPECT_EQ(boundedCString(buf, 99), "");
}

}  // namespace
}  // namespace pemblor::common
