// The status monitor's ticks and the data watch, against a scripted driver:
// what each tick sends, the exact lines it writes, the roll of both tables.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/console.hpp"
#include "status/status_monitor.hpp"
#include "driver/request_codes.hpp"
#include "resources/console_ids.hpp"
#include "support/fake_host.hpp"
#include "support/recording_transport.hpp"

namespace pemblor::status {
namespace {

using namespace resources::console;
using common::read;
using common::set;
using ::testing::ElementsAre;
using testing::le32;

std::vector<std::uint32_t> codes(const testing::RecordingTransport& t) {
    std::vector<std::uint32_t> out;
    for (const auto& r : t.requests()) out.push_back(r.code);
    return out;
}

struct StatusFixture : ::testing::Test {
    testing::RecordingTransport transport;
    testing::FakeHost host;
    driver::DriverLink link{transport};
    app::Console console{host, link};
    ui::Dialog& dlg = console.dialog();
    common::ReceiveStats& stats = console.receptionStats();

    void SetUp() override {
        transport.addDevice("\\\\.\\KSVECWDM0");
        transport.setAnswer(driver::kDriverVersion, {.out = le32({0x01070605, 0})});
        transport.setAnswer(driver::kMapAddresses, {.out = std::vector<std::uint8_t>(64, 1)});
        dlg.click(kOpenDev);
        transport.clearRecords();
    }

    std::vector<std::string> lines() {
        return {dlg.text(kChan1Line),  dlg.text(kChan2Line), dlg.text(kChan3Line), dlg.text(kChan4Line),
                dlg.text(kNormalLine), dlg.text(kErrorLine), dlg.text(kReceptionLine)};
    }
};

TEST_F(StatusFixture, FullTickRollsAndWritesEveryLineExactly) {
    std::vector<std::uint32_t> counterWords(32, 0);
    counterWords[0] = 0x1234;
    counterWords[1] = 0x0FFF;
    counterWords[2] = 0x1000;
    counterWords[3] = 0xABCD;
    counterWords[9] = 7;
    counterWords[10] = 0xFFFFFFFF;
    counterWords[11] = 0;
    counterWords[12] = 123456;
    std::vector<std::uint8_t> answer;
    for (std::uint32_t w : counterWords) {
        const auto b = le32({w});
        answer.insert(answer.end(), b.begin(), b.end());
    }
    transport.setAnswer(driver::kDeviceInfo, {.out = answer});

    // Channel 1: 128 KiB in the last second, 25 plain and 1 marked block, 25
    // previews, more than 0xFFFF blocks since the start; its sub-stream 50 blocks.
    set(stats.slotTable[0].blockCount, 0x12345);
    set(stats.slotTable[0].byteAccumulator, 128 * 1024);
    set(stats.slotTable[0].plainAccumulator, 25);
    set(stats.slotTable[0].markedAccumulator, 1);
    set(stats.slotTable[0].previewAccumulator, 25);
    set(stats.slotTable[4].plainAccumulator, 50);
    // Channel 2: 100 bytes are not a kilobit.
    set(stats.slotTable[1].blockCount, 3);
    set(stats.slotTable[1].byteAccumulator, 100);
    set(stats.slotTable[1].plainAccumulator, 3);
    // Channel 4: the status byte is shown as it stands.
    set(stats.slotTable[3].statusByte, 0x5A);
    common::ReceiveCounters& c = stats.counters;
    set(c.wakeUps, 0x1005);  // 12 bits: 0005
    set(c.encodedNotices, 0xABCDE);
    set(c.originalVideoNotices, 0xFFF);
    set(c.previewNotices, 0x2000);
    set(c.lastEncodedLength, 42);
    set(c.largestThisSecond, 1500);
    set(c.bytesThisSecond, 300 * 1024 + 1023);
    console.receptionStats().receiving = 1;
    console.receptionStats().seconds = 0xFFF;  // the tick makes it 0x1000, shown as 0000

    dlg.timer(kStatusTimer);
    EXPECT_THAT(lines(), ElementsAre("CH1:FN:12345 BR:1024kb 25/1/25/50 00", "CH2:FN:0003 BR:000kb 3/0/0/0 00",
                                     "CH3:FN:0000 BR:000kb 0/0/0/0 00", "CH4:FN:0000 BR:000kb 0/0/0/0 5A",
                                     "T:0234 I:0FFF S:0000 M:0BCD", "T:7 D:-1 S:0 V:123456",
                                     "S:0000 T:0005 E:0CDE G:0FFF P:0000 L:0042 M:1500 R:300k"));
    // Check box 1055 is not ticked: no channel status pair, only the counters.
    ASSERT_THAT(codes(transport), ElementsAre(driver::kDeviceInfo));
    EXPECT_EQ(transport.requests()[0].in, le32({1, 0}));
    EXPECT_EQ(transport.requests()[0].outSize, 128u);
    // The roll cleared the accumulators and kept the per-second values.
    EXPECT_EQ(read(stats.slotTable[0].byteAccumulator), 0u);
    EXPECT_EQ(read(stats.slotTable[0].bitRate), 128u * 1024 * 8);
    EXPECT_EQ(read(stats.slotTable[4].plainLastSecond), 50u);
    EXPECT_EQ(read(c.bytesThisSecond), 0u);
    EXPECT_EQ(read(c.largestThisSecond), 0u);

    // A second without data: the per-second figures fall to zero, the block
    // count and the notice counters stay.
    console.receptionStats().receiving = 0;
    dlg.timer(kStatusTimer);
    EXPECT_EQ(dlg.text(kChan1Line), "CH1:FN:12345 BR:000kb 0/0/0/0 00");
    EXPECT_EQ(dlg.text(kReceptionLine), "S:0000 T:0005 E:0CDE G:0FFF P:0000 L:0042 M:0000 R:0k");
    // Any timer id other than 2 is a full tick too.
    set(stats.slotTable[2].byteAccumulator, 2048);
    dlg.timer(77);
    EXPECT_EQ(dlg.text(kChan3Line), "CH3:FN:0000 BR:016kb 0/0/0/0 00");

    // The history holds what the lines showed, one sample a tick.
    const StatusHistory& h = console.statusHistory();
    ASSERT_EQ(h.size(), 3u);
    EXPECT_EQ(h.at(0).bitRate[0], 128u * 1024 * 8);
    EXPECT_EQ(h.at(0).blocks[0], 26u);
    EXPECT_EQ(h.at(0).blocks[4], 50u);
    EXPECT_EQ(h.at(0).previews[0], 25u);
    EXPECT_EQ(h.at(1).bitRate[0], 0u);
    EXPECT_EQ(h.at(2).bitRate[2], 16384u);

    // Lengths past 2^31 once showed as negative numbers.
    set(c.lastEncodedLength, 0xFFFFFFFFu);
    set(c.largestThisSecond, 0xFFFFFFFFu);
    dlg.timer(kStatusTimer);
    EXPECT_EQ(dlg.text(kReceptionLine), "S:0000 T:0005 E:0CDE G:0FFF P:0000 L:4294967295 M:4294967295 R:0k");
}

TEST_F(StatusFixture, FastTickWritesTheReceptionLineWithoutRolling) {
    common::ReceiveCounters& c = stats.counters;
    set(c.bytesThisSecond, 5 * 1024);
    set(c.largestThisSecond, 900);
    set(stats.slotTable[0].byteAccumulator, 4096);
    console.receptionStats().seconds = 3;
    set(c.wakeUps, 1);
    dlg.timer(kReceiveTimer);
    EXPECT_EQ(dlg.text(kReceptionLine), "S:0003 T:0001 E:0000 G:0000 P:0000 L:0000 M:0000 R:0k");
    set(c.wakeUps, 2);
    dlg.timer(kReceiveTimer);
    EXPECT_EQ(dlg.text(kReceptionLine), "S:0003 T:0002 E:0000 G:0000 P:0000 L:0000 M:0000 R:0k");
    EXPECT_TRUE(transport.requests().empty());
    EXPECT_EQ(read(c.bytesThisSecond), 5u * 1024);
    EXPECT_EQ(read(stats.slotTable[0].byteAccumulator), 4096u);
    EXPECT_EQ(dlg.text(kChan1Line), "Chan1");
    EXPECT_EQ(console.statusHistory().size(), 0u);
}

TEST_F(StatusFixture, ChannelStatusPairWhenTheHiddenBoxIsTicked) {
    EXPECT_FALSE(dlg.visible(kUnknownCheck));
    EXPECT_FALSE(dlg.checked(kUnknownCheck));
    EXPECT_FALSE(dlg.click(kUnknownCheck));  // nothing can tick it
    dlg.setChecked(kUnknownCheck, true);
    transport.queueAnswer(driver::kChannelStatus, {.out = le32({0x101, 0x2, 0x3, 0xF4, 0x5, 0x6, 0x7, 0x1F8})});
    console.receptionStats().receiving = 1;
    dlg.timer(kStatusTimer);
    ASSERT_THAT(codes(transport), ElementsAre(driver::kChannelStatus, driver::kChannelStatusAck, driver::kDeviceInfo));
    EXPECT_EQ(transport.requests()[0].outSize, 32u);
    EXPECT_EQ(transport.requests()[1].in, le32({0}));
    EXPECT_EQ(transport.requests()[1].outSize, 32u);
    // (low byte of word k-1) x 16 + (low byte of word k+3), kept to 8 bits.
    EXPECT_EQ(dlg.text(kChan1Line), "CH1:FN:0000 BR:000kb 0/0/0/0 15");
    EXPECT_EQ(dlg.text(kChan2Line), "CH2:FN:0000 BR:000kb 0/0/0/0 26");
    EXPECT_EQ(dlg.text(kChan3Line), "CH3:FN:0000 BR:000kb 0/0/0/0 37");
    EXPECT_EQ(dlg.text(kChan4Line), "CH4:FN:0000 BR:000kb 0/0/0/0 38");

    // A short read leaves the bytes as they were; the acknowledgement still goes.
    transport.clearRecords();
    transport.queueAnswer(driver::kChannelStatus, {.out = le32({0, 0, 0, 0, 0, 0, 0}), .bytes = 28});
    dlg.timer(kStatusTimer);
    EXPECT_THAT(codes(transport), ElementsAre(driver::kChannelStatus, driver::kChannelStatusAck, driver::kDeviceInfo));
    EXPECT_EQ(dlg.text(kChan4Line), "CH4:FN:0000 BR:000kb 0/0/0/0 38");
    // Not receiving: no pair, however the box stands.
    transport.clearRecords();
    console.receptionStats().receiving = 0;
    dlg.timer(kStatusTimer);
    EXPECT_THAT(codes(transport), ElementsAre(driver::kDeviceInfo));
}

TEST_F(StatusFixture, WatchReadsOneWordOfWindowOnePerLineWhileStarted) {
    // Each read answers a word made from its offset; offset 12 fails and shows zero.
    transport.setHandler([](const testing::RecordedRequest& r) -> std::optional<testing::Answer> {
        if (r.code != driver::kReadWords) return std::nullopt;
        if (r.word(1) == 12) return testing::Answer{.ok = false};
        return testing::Answer{.out = le32({r.word(1) ^ 0xA5000000})};
    });
    dlg.userSetText(kWatchAddresses, "0x0041FFF0 HSR\r\n12");
    dlg.timer(kStatusTimer);
    EXPECT_TRUE(transport.requestsOf(driver::kReadWords).empty());  // not started

    dlg.click(kStartWatch);
    EXPECT_TRUE(dlg.control(kWatchAddresses).readOnly());
    EXPECT_TRUE(dlg.control(kWatchValues).readOnly());
    dlg.timer(kStatusTimer);
    const auto reads = transport.requestsOf(driver::kReadWords);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(reads[0].in, le32({kWatchWindow, 0x0041FFF0, 1}));
    EXPECT_EQ(reads[0].outSize, 4u);
    EXPECT_EQ(dlg.text(kWatchValues), "0xA541FFF0\r\n0x00000000\r\n");

    dlg.click(kStopWatch);
    EXPECT_FALSE(dlg.control(kWatchAddresses).readOnly());
    EXPECT_FALSE(dlg.control(kWatchValues).readOnly());
    // An empty list is one line: offset 0, once.
    dlg.userSetText(kWatchAddresses, "");
    dlg.click(kStartWatch);
    transport.clearRecords();
    dlg.timer(kStatusTimer);
    ASSERT_EQ(transport.requestsOf(driver::kReadWords).size(), 1u);
    EXPECT_EQ(transport.requestsOf(driver::kReadWords)[0].word(1), 0u);
    EXPECT_EQ(dlg.text(kWatchValues), "0xA5000000\r\n");
}

TEST_F(StatusFixture, DroppedRecordsAreWhatErrorCsDGrewBySinceTheLastTickOfTheSameCard) {
    auto counters = [](std::uint32_t d) {
        std::vector<std::uint32_t> words(32, 0);
        words[10] = d;
        std::vector<std::uint8_t> bytes;
        for (std::uint32_t w : words) {
            const auto b = le32({w});
            bytes.insert(bytes.end(), b.begin(), b.end());
        }
        return testing::Answer{.out = bytes};
    };
    for (std::uint32_t d : {100u, 107u, 107u, 2u}) transport.queueAnswer(driver::kDeviceInfo, counters(d));
    transport.queueAnswer(driver::kDeviceInfo, {.ok = false});  // a failed read shows no drops
    transport.queueAnswer(driver::kDeviceInfo, counters(5));
    for (int i = 0; i < 6; ++i) dlg.timer(kStatusTimer);
    // Reopened: the first tick of the new handle has nothing to compare with.
    dlg.click(kCloseDev);
    dlg.click(kOpenDev);
    transport.queueAnswer(driver::kDeviceInfo, counters(50));
    transport.queueAnswer(driver::kDeviceInfo, counters(51));
    dlg.timer(kStatusTimer);
    dlg.timer(kStatusTimer);
    const StatusHistory& h = console.statusHistory();
    std::vector<std::uint32_t> dropped;
    for (std::size_t i = 0; i < h.size(); ++i) dropped.push_back(h.at(i).dropped);
    // 2 after 107: the counter wrapped around 32 bits.
    EXPECT_THAT(dropped, ElementsAre(0u, 7u, 0u, 0xFFFFFFFFu - 104, 0u, 0u, 0u, 1u));
    EXPECT_EQ(dlg.text(kErrorLine), "T:0 D:51 S:0 V:0");
}

}  // namespace
}  // namespace pemblor::status
