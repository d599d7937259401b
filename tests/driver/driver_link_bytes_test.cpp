// Requests whose result is the driver's byte count, 0 on failure: one table,
// the same three checks for each.
#include <functional>
#include <string>

#include "driver_link_fixture.hpp"

namespace pemblor::driver {
namespace {

using testing::Answer;
using testing::le32;

struct BytesCase {
    std::string name;
    std::uint32_t code;
    std::vector<std::uint8_t> in;  // the record expected on the wire
    std::size_t outSize;           // the output area expected
    std::function<std::uint32_t(DriverLink&)> call;
};

void PrintTo(const BytesCase& c, std::ostream* os) { *os << c.name; }

std::vector<std::uint8_t> concat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Calls that own their buffers, so each case runs on its own.
template <std::size_t N>
std::function<std::uint32_t(DriverLink&)> withBuffer(std::uint32_t (DriverLink::*op)(std::span<std::uint8_t, N>)) {
    return [op](DriverLink& l) {
        std::array<std::uint8_t, N> out{};
        return (l.*op)(out);
    };
}

std::vector<BytesCase> cases() {
    return {
        {"ReadWords", kReadWords, le32({1, 0x400, 4}), 16,
         [](DriverLink& l) {
             std::vector<std::uint32_t> w(4);
             return l.readWords(1, 0x400, w);
         }},
        // A length below one word still asks, for 0 words.
        {"ReadNoWords", kReadWords, le32({0, 0x10, 0}), 0,
         [](DriverLink& l) { return l.readWords(0, 0x10, {}); }},
        {"WriteWords", kWriteWords, le32({2, 0x1c, 2, 0xdeadbeef, 0x01020304}), 0,
         [](DriverLink& l) {
             const std::uint32_t w[] = {0xdeadbeef, 0x01020304};
             return l.writeWords(2, 0x1c, w);
         }},
        {"WriteBytesOddLength", kWriteBytes, concat(le32({0, 0x20, 5}), {9, 8, 7, 6, 5}), 0,
         [](DriverLink& l) {
             const std::uint8_t d[] = {9, 8, 7, 6, 5};
             return l.writeBytes(0, 0x20, d);
         }},
        {"WriteNoBytes", kWriteBytes, le32({0, 0x20, 0}), 0,
         [](DriverLink& l) { return l.writeBytes(0, 0x20, {}); }},
        {"DeviceInfoDump", kDeviceInfo, le32({9, 0}), 256,
         [](DriverLink& l) {
             std::array<std::uint8_t, 256> out{};
             return l.deviceInfo(9, out);
         }},
        // Only whole words are offered to the driver.
        {"DeviceInfoPartialWord", kDeviceInfo, le32({1, 0}), 128,
         [](DriverLink& l) {
             std::array<std::uint8_t, 131> out{};
             return l.deviceInfo(1, out);
         }},
        {"DriverVersion", kDriverVersion, {}, 8, withBuffer<8>(&DriverLink::driverVersion)},
        {"HardwareInfo", kHardwareInfo, {}, 32, withBuffer<32>(&DriverLink::hardwareInfo)},
        {"SlotInfo", kSlotInfo, {}, 16, withBuffer<16>(&DriverLink::slotInfo)},
        {"MapAddresses", kMapAddresses, {}, 64, [](DriverLink& l) { return l.mapAddresses(); }},
        {"UnmapAddresses", kUnmapAddresses, std::vector<std::uint8_t>(64, 0), 0,
         [](DriverLink& l) { return l.unmapAddresses(); }},
        {"FetchNotifications", kFetchNotifications, {}, 128,
         [](DriverLink& l) {
             std::array<std::uint8_t, 128> out{};
             return l.fetchNotifications(out);
         }},
        {"ChannelStatus", kChannelStatus, {}, 32,
         [](DriverLink& l) {
             std::array<std::uint8_t, 32> out{};
             return l.channelStatus(out);
         }},
        // Its record is the buffer's first word; the buffer is also the output.
        {"ChannelStatusAck", kChannelStatusAck, le32({0x11223344}), 40,
         [](DriverLink& l) {
             std::vector<std::uint8_t> buf = le32({0x11223344, 7, 7, 7, 7, 7, 7, 7, 7, 7});
             return l.acknowledgeChannelStatus(buf);
         }},
    };
}

class BytesFamily : public DriverLinkTest, public ::testing::WithParamInterface<BytesCase> {};

TEST_P(BytesFamily, SendsItsRecordAndReturnsTheReportedCount) {
    const BytesCase& c = GetParam();
    const std::uint32_t reported = static_cast<std::uint32_t>(c.outSize / 2);
    transport.setAnswer(c.code, Answer{.ok = true, .out = pattern(c.outSize), .bytes = reported});
    EXPECT_EQ(c.call(link), reported);
    const auto r = onlyRequest();
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.in, c.in);
    EXPECT_EQ(r.outSize, c.outSize);
    EXPECT_EQ(r.handle, link.context().device());
}

TEST_P(BytesFamily, FailureReturnsZeroWhateverTheDriverCounts) {
    const BytesCase& c = GetParam();
    transport.setAnswer(c.code, Answer{.ok = false, .out = pattern(c.outSize), .bytes = 8});
    EXPECT_EQ(c.call(link), 0u);
    EXPECT_EQ(transport.count(c.code), 1u);
}

TEST_P(BytesFamily, CountBeyondTheOutputAreaIsCutToIt) {
    const BytesCase& c = GetParam();
    transport.setAnswer(c.code, Answer{.ok = true, .bytes = static_cast<std::uint32_t>(c.outSize + 4096)});
    EXPECT_EQ(c.call(link), c.outSize);
}

TEST_P(BytesFamily, FailsThroughTheTransportWithNoDeviceOpen) {
    const BytesCase& c = GetParam();
    link.closeDevice();
    transport.setAnswer(c.code, Answer{.ok = true, .bytes = 4});
    EXPECT_EQ(c.call(link), 0u);
    const auto sent = transport.requestsOf(c.code);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_FALSE(sent[0].handle.valid());
}

INSTANTIATE_TEST_SUITE_P(AllRequests, BytesFamily, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<BytesCase>& info) { return info.param.name; });

}  // namespace
}  // namespace pemblor::driver
