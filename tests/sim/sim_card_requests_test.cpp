#include "sim_test_support.hpp"

namespace pemblor::sim::test {
namespace {

class SimRequests : public SimCardTest {};

TEST_F(SimRequests, FailingCodesFailAndTheOthersStillWork) {
    startWith("[card 0]\nfail = 0x222404 0x2220c0\n");
    const Answer version = call(driver::kDriverVersion, {}, 8);
    EXPECT_FALSE(version.result.ok);
    EXPECT_EQ(version.result.bytes, 0u);
    EXPECT_EQ(version.out, Bytes(8, 0xEE));
    EXPECT_FALSE(info(0).result.ok);
    EXPECT_TRUE(call(driver::kHardwareInfo, {}, 32).result.ok);
    // Another card is unaffected.
    EXPECT_TRUE(call(driver::kDriverVersion, {}, 8, transport_->open(pathOf(1))).result.ok);
}

TEST_F(SimRequests, UnknownCodesFail) {
    start(SimSettings::withCards({0}));
    for (std::uint32_t code : {0u, 0x222000u, 0x22FFFCu, 0xFFFFFFFFu}) {
        const Answer a = call(code, {}, 16);
        EXPECT_FALSE(a.result.ok) << std::hex << code;
        EXPECT_EQ(a.result.bytes, 0u);
    }
}

TEST_F(SimRequests, WindowsKeepWhatIsWrittenAndReadZerosElsewhere) {
    start(SimSettings::withCards({0}));
    const Bytes data = {1, 2, 3, 4, 5};  // not a whole number of words
    const Answer w = call(driver::kWriteBytes, writeRecord(1, 0x41FFF0, data), 0);
    EXPECT_TRUE(w.result.ok);
    EXPECT_EQ(w.result.bytes, 0u);  // no output area, nothing reported
    const Answer bytes = call(driver::kReadBytes, words({1, 0x41FFF0, 8}), 8);
    ASSERT_TRUE(bytes.result.ok);
    EXPECT_EQ(bytes.result.bytes, 8u);
    EXPECT_EQ(bytes.out, (Bytes{1, 2, 3, 4, 5, 0, 0, 0}));
    const Answer wordsRead = call(driver::kReadWords, words({1, 0x41FFF0, 2}), 8);
    EXPECT_EQ(wordAt(wordsRead.out, 0), 0x04030201u);
    // The word write counts words; other windows are separate.
    EXPECT_TRUE(call(driver::kWriteWords, words({0, 16, 1, 0xCAFEF00D}), 0).result.ok);
    EXPECT_EQ(wordAt(call(driver::kReadWords, words({0, 16, 1}), 4).out, 0), 0xCAFEF00Du);
    EXPECT_EQ(wordAt(call(driver::kReadWords, words({1, 16, 1}), 4).out, 0), 0u);
    // Reading zero words succeeds with nothing.
    const Answer none = call(driver::kReadWords, words({1, 0, 0}), 0);
    EXPECT_TRUE(none.result.ok);
    EXPECT_EQ(none.result.bytes, 0u);
}

TEST_F(SimRequests, WindowBoundsAndRecordsAreChecked) {
    start(SimSettings::withCards({0}));
    const std::uint32_t bar0 = 4u << 20, bar1 = 8u << 20, bar2 = 4096;
    EXPECT_TRUE(call(driver::kReadWords, words({0, bar0 - 4, 1}), 4).result.ok);
    EXPECT_FALSE(call(driver::kReadWords, words({0, bar0 - 2, 1}), 4).result.ok);
    EXPECT_TRUE(call(driver::kReadBytes, words({1, bar1 - 1, 1}), 1).result.ok);
    EXPECT_FALSE(call(driver::kReadBytes, words({1, bar1, 1}), 1).result.ok);
    EXPECT_FALSE(call(driver::kWriteBytes, writeRecord(2, bar2 - 2, {1, 2, 3, 4}), 0).result.ok);
    EXPECT_TRUE(call(driver::kWriteBytes, writeRecord(2, bar2 - 4, {1, 2, 3, 4}), 0).result.ok);
    EXPECT_FALSE(call(driver::kReadBytes, words({3, 0, 4}), 4).result.ok);
    EXPECT_FALSE(call(driver::kReadBytes, words({0, 0xFFFFFFFF, 4}), 4).result.ok);
    // A count larger than the output area, or one that overflows 32 bits as bytes.
    EXPECT_FALSE(call(driver::kReadWords, words({0, 0, 2}), 4).result.ok);
    EXPECT_FALSE(call(driver::kReadWords, words({0, 0, 0x40000001}), 4).result.ok);
    EXPECT_FALSE(call(driver::kReadBytes, words({0, 0, 5}), 4).result.ok);
    // Payload and header disagree, or the header is cut.
    Bytes longer = writeRecord(0, 0, {1, 2, 3});
    longer.push_back(4);
    EXPECT_FALSE(call(driver::kWriteBytes, longer, 0).result.ok);
    EXPECT_FALSE(call(driver::kWriteWords, words({0, 0, 2, 7}), 0).result.ok);
    EXPECT_FALSE(call(driver::kWriteBytes, Bytes(11), 0).result.ok);
    EXPECT_FALSE(call(driver::kReadWords, Bytes(13), 4).result.ok);
}

TEST_F(SimRequests, ChannelSwitchesShowInTheStatusWords) {
    start(SimSettings::withCards({0}));
    EXPECT_TRUE(call(driver::kChannelSwitch, words({2, 1}), 0).result.ok);
    EXPECT_TRUE(call(driver::kSubChannelSwitch, words({0, 1}), 0).result.ok);
    EXPECT_TRUE(call(driver::kSubChannelSwitch, words({3, 1}), 0).result.ok);
    EXPECT_TRUE(call(driver::kSubChannelSwitch, words({3, 0}), 0).result.ok);
    EXPECT_FALSE(call(driver::kChannelSwitch, words({4, 1}), 0).result.ok);
    EXPECT_FALSE(call(driver::kChannelSwitch, words({0, 2}), 0).result.ok);
    EXPECT_FALSE(call(driver::kChannelSwitch, words({0}), 0).result.ok);

    const Answer status = call(driver::kChannelStatus, {}, 40);
    ASSERT_EQ(status.result.bytes, 32u);
    // Words 0..3: main streams of channels 1..4; words 4..7: their sub-streams.
    Bytes expected = words({0, 0, 1, 0, 1, 0, 0, 0});
    expected.resize(40, 0xEE);
    EXPECT_EQ(status.out, expected);
    EXPECT_FALSE(call(driver::kChannelStatus, {}, 31).result.ok);
    EXPECT_EQ(call(driver::kChannelStatusAck, words({0}), 32).result.bytes, 32u);
    EXPECT_FALSE(call(driver::kChannelStatusAck, {}, 32).result.ok);
    EXPECT_FALSE(call(driver::kChannelStatusAck, words({0}), 31).result.ok);
}

TEST_F(SimRequests, DspIsNotRunningAndResetStopsTheChannels) {
    start(SimSettings::withCards({0}));
    call(driver::kChannelSwitch, words({1, 1}), 0);
    EXPECT_TRUE(call(driver::kDspInterrupt, {}, 0).result.ok);
    const Answer state = call(driver::kDspState, {}, 4);
    ASSERT_TRUE(state.result.ok);
    EXPECT_EQ(state.result.bytes, 4u);
    EXPECT_NE(wordAt(state.out, 0), driver::kDspRunning);
    EXPECT_FALSE(call(driver::kDspState, {}, 3).result.ok);

    EXPECT_TRUE(call(driver::kDspReset, {}, 0).result.ok);
    EXPECT_EQ(wordAt(call(driver::kDspState, {}, 4).out, 0), kDspStateHeldInReset);
    EXPECT_EQ(wordAt(call(driver::kChannelStatus, {}, 32).out, 1), 0u);
}

}  // namespace
}  // namespace pemblor::sim::test
