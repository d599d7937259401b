// The recording header and the DSP debug lines, byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/debug_lines.hpp"
#include "capture/recording_header.hpp"
#include "driver/little_endian.hpp"

namespace pemblor::capture {
namespace {

using driver::loadU16;
using driver::loadU32;

TEST(RecordingHeader, FieldsAtTheirOffsetsAndParsedBack) {
    const ui::LocalTime opened{2008, 6, 18, 9, 14, 24, 0, 3};
    RecordingHeader header{packLocalTime(opened)};
    auto b = header.bytes();
    EXPECT_EQ(std::string(b.begin(), b.begin() + 5), "KESTA");
    EXPECT_EQ(loadU32(b, 12), 0x6000u);
    EXPECT_EQ(loadU16(b, 24), 1);
    EXPECT_EQ(loadU16(b, 26), 8);
    EXPECT_EQ(loadU32(b, 28), 8000u);
    EXPECT_EQ(loadU32(b, 32), 2u);
    EXPECT_EQ(loadU16(b, 36), 352);
    EXPECT_EQ(loadU16(b, 38), 288);
    EXPECT_EQ(loadU16(b, 42), 25);
    EXPECT_EQ(loadU32(b, 44), 0x21A49398u);
    EXPECT_EQ(loadU32(b, 48), 0x1870A780u);
    EXPECT_EQ(loadU32(b, 52), 128u);
    for (std::size_t reserved : {5u, 6u, 11u, 16u, 19u, 20u, 40u, 56u, 100u, 124u, 127u}) EXPECT_EQ(b[reserved], 0) << reserved;

    auto parsed = RecordingHeader::parse(b);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->startTime, 0x21A49398u);
    EXPECT_FALSE(parsed->finished());
    header.endTime = packLocalTime({2063, 12, 31, 23, 59, 59, 0, 0});
    parsed = RecordingHeader::parse(header.bytes());
    ASSERT_TRUE(parsed && parsed->finished());
    const driver::DateTime end = driver::unpackTime(parsed->endTime);
    EXPECT_EQ(end.year, 2063);
    EXPECT_EQ(end.second, 59);

    b[0] = 'k';
    EXPECT_FALSE(RecordingHeader::parse(b));
    b = header.bytes();
    b[52] = 64;
    EXPECT_FALSE(RecordingHeader::parse(b));
    b = header.bytes();
    EXPECT_FALSE(RecordingHeader::parse(std::span(b).first(127)));
}

TEST(DebugLines, ExactLinesAndRecordsThatStayInsideTheArea) {
    std::array<char, 16> timeBuffer{};
    const std::string_view time = formatDebugTime({2008, 6, 18, 9, 14, 24, 0, 3}, timeBuffer);
    EXPECT_EQ(time, "06-18 09:14:24 ");

    std::array<std::uint8_t, kDebugRecordSize> record{};
    const auto put = [&](std::size_t at, std::uint32_t v) { driver::storeU32(record, at, v); };
    put(0, 1), put(4, 2), put(8, 3), put(12, 4), put(64, 0x12);
    put(16, 0xDEAD);  // words the line does not show
    std::array<char, kMaxDebugLine> line{};
    std::size_t n = formatDebugLine(time, record, line);
    EXPECT_EQ(std::string(line.data(), n), "06-18 09:14:24 0012 0x00000001,0x2,0x3,0x4\r\n");
    put(0, 0xFFFFFFFF), put(4, 0xFFFFFFFF), put(8, 0xFFFFFFFF), put(12, 0xFFFFFFFF), put(64, 0xFFFFFFFF);
    n = formatDebugLine(time, record, line);
    EXPECT_EQ(std::string(line.data(), n),
              "06-18 09:14:24 FFFFFFFF 0xFFFFFFFF,0xFFFFFFFF,0xFFFFFFFF,0xFFFFFFFF\r\n");

    struct Count {
        std::size_t area;
        std::uint32_t offset, n;
        std::size_t want;
    };
    for (const Count& c : std::vector<Count>{{720, 0, 72, 1},
                                             {720, 0, 73, 2},  // rounded up
                                             {720, 0, 0, 0},
                                             {720, 0, 720, 10},
                                             {720, 0, 0xFFFFFFFF, 10},  // cut to the area
                                             {720, 700, 72, 0},         // 20 bytes left: no whole record
                                             {720, 648, 144, 1},
                                             {720, 720, 72, 0},
                                             {720, 0xFFFFFFFF, 0xFFFFFFFF, 0},
                                             {0, 0, 72, 0}}) {
        EXPECT_EQ(debugRecordCount(c.area, c.offset, c.n), c.want) << c.area << " " << c.offset << " " << c.n;
    }
}

}  // namespace
}  // namespace pemblor::capture
