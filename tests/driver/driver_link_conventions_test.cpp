// Requests with results of their own, guard checks that send nothing, and
// payload requests.
#include <functional>

#include "driver_link_fixture.hpp"

namespace pemblor::driver {
namespace {

using testing::Answer;
using testing::le32;

TEST_F(DriverLinkTest, ReadBytesReturnsZeroOnSuccessAndThirtyOnFailure) {
    std::vector<std::uint8_t> out(5);
    transport.queueAnswer(kReadBytes, Answer{.ok = true, .out = {0xa1, 0xa2, 0xa3, 0xa4, 0xa5}});
    transport.queueAnswer(kReadBytes, Answer{.ok = false});
    EXPECT_EQ(link.readBytes(1, 0x1234, out), 0u);
    EXPECT_EQ(out, (std::vector<std::uint8_t>{0xa1, 0xa2, 0xa3, 0xa4, 0xa5}));
    EXPECT_EQ(link.readBytes(1, 0x1234, out), kReadBytesFailure);
    EXPECT_EQ(kReadBytesFailure, 30u);
    const auto sent = transport.requestsOf(kReadBytes);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].in, le32({1, 0x1234, 5}));
    EXPECT_EQ(sent[0].outSize, 5u);
    link.closeDevice();
    EXPECT_EQ(link.readBytes(1, 0x1234, out), kReadBytesFailure);  // fails through the transport
}

TEST_F(DriverLinkTest, ReadWordsDecodesLittleEndianWords) {
    transport.setAnswer(kReadWords, Answer{.out = {0x78, 0x56, 0x34, 0x12, 0xff, 0, 0, 0x80}});
    std::vector<std::uint32_t> words(3, 0xcccccccc);
    EXPECT_EQ(link.readWords(0, 0, words), 8u);
    EXPECT_EQ(words[0], 0x12345678u);
    EXPECT_EQ(words[1], 0x800000ffu);
    EXPECT_EQ(words[2], 0xccccccccu);  // not delivered, left as it was
}

TEST_F(DriverLinkTest, RegisterDataEventCarriesTheHandleAndReturnsTwoOnFailure) {
    link.context().dataEvent = 0x1234;
    transport.queueAnswer(kRegisterEvent, Answer{.ok = true, .bytes = 4});
    transport.queueAnswer(kRegisterEvent, Answer{.ok = false});
    EXPECT_EQ(link.registerDataEvent(), 0u);
    EXPECT_EQ(link.registerDataEvent(), kRegisterEventFailure);
    EXPECT_EQ(kRegisterEventFailure, 2u);
    const auto sent = transport.requestsOf(kRegisterEvent);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].in, le32({0x1234}));
    EXPECT_EQ(sent[0].outSize, 0u);
}

TEST_F(DriverLinkTest, RegisterDataEventSendsNothingOnceReceptionStopped) {
    link.context().dataEvent = kClosedEvent;
    EXPECT_EQ(link.registerDataEvent(), kRegisterEventFailure);
    EXPECT_EQ(transport.count(), 0u);
    // An event never created is not guarded: the driver refuses it.
    link.context().dataEvent = kNoEvent;
    transport.setAnswer(kRegisterEvent, Answer{.ok = false});
    EXPECT_EQ(link.registerDataEvent(), kRegisterEventFailure);
    EXPECT_EQ(transport.count(kRegisterEvent), 1u);
}

TEST_F(DriverLinkTest, LoadBlockSendsHeaderAndBlockAndReturnsWordOne) {
    const std::vector<std::uint8_t> block = pattern(100);
    transport.setAnswer(kDspLoadBlock, Answer{.out = le32({0x55, 108}), .bytes = 8});
    EXPECT_EQ(link.loadBlock(3, 0x80001000, block), 108u);
    const auto r = onlyRequest();
    ASSERT_EQ(r.in.size(), 108u);
    EXPECT_EQ(r.word(0), 3u);
    EXPECT_EQ(r.word(1), 0x80001000u);
    EXPECT_TRUE(std::equal(block.begin(), block.end(), r.in.begin() + 8));
    EXPECT_EQ(r.outSize, 8u);
}

TEST_F(DriverLinkTest, LoadBlockResultIsWordOneNotTheByteCount) {
    const std::vector<std::uint8_t> block = pattern(100);
    transport.queueAnswer(kDspLoadBlock, Answer{.out = le32({108, 100})});  // accepted only 100
    transport.queueAnswer(kDspLoadBlock, Answer{.ok = false, .out = le32({0, 108})});
    transport.queueAnswer(kDspLoadBlock, Answer{.out = le32({108, 108}), .bytes = 7});  // word 1 not delivered
    EXPECT_EQ(link.loadBlock(0, 0, block), 100u);
    EXPECT_EQ(link.loadBlock(0, 0, block), 0u);
    EXPECT_EQ(link.loadBlock(0, 0, block), 0u);
}

TEST_F(DriverLinkTest, DspStateReadsTheWordOnSuccessOnly) {
    std::uint32_t state = 7;
    transport.queueAnswer(kDspState, Answer{.out = le32({kDspRunning})});
    transport.queueAnswer(kDspState, Answer{.ok = false, .out = le32({5})});
    transport.queueAnswer(kDspState, Answer{.out = le32({kDspRunning}), .bytes = 0});
    EXPECT_TRUE(link.dspState(state));
    EXPECT_EQ(state, kDspRunning);
    EXPECT_FALSE(link.dspState(state));
    EXPECT_EQ(state, kDspRunning);
    EXPECT_TRUE(link.dspState(state));
    EXPECT_EQ(state, 0u);  // what the driver did not deliver is not a running DSP
    EXPECT_EQ(transport.requestsOf(kDspState).at(0).outSize, 4u);
}

struct FlagCase {
    std::uint32_t code;
    std::function<bool(DriverLink&)> call;
};

TEST_F(DriverLinkTest, PlatformFlagRequestsCarryNothing) {
    const FlagCase cases[] = {
        {kDspReset, [](DriverLink& l) { return l.resetDsp(); }},
        {kDspInterrupt, [](DriverLink& l) { return l.interruptDsp(); }},
        {kSetDmaVaddr, [](DriverLink& l) { return l.setDmaVaddr(); }},
        {kSetDmaOaddr, [](DriverLink& l) { return l.setDmaOaddr(); }},
    };
    for (const FlagCase& c : cases) {
        transport.queueAnswer(c.code, Answer{.ok = true});
        transport.queueAnswer(c.code, Answer{.ok = false});
        EXPECT_TRUE(c.call(link)) << std::hex << c.code;
        EXPECT_FALSE(c.call(link)) << std::hex << c.code;
        const auto sent = transport.requestsOf(c.code);
        ASSERT_EQ(sent.size(), 2u);
        EXPECT_TRUE(sent[0].in.empty());
        EXPECT_EQ(sent[0].outSize, 0u);
    }
}

TEST_F(DriverLinkTest, SetDspTimeSendsSixWordsInOrder) {
    transport.queueAnswer(kSetDspTime, Answer{.ok = false});
    EXPECT_FALSE(link.setDspTime({2026, 12, 8, 23, 59, 58}));
    EXPECT_TRUE(link.setDspTime({2027, 1, 31, 0, 0, 0}));
    const auto sent = transport.requestsOf(kSetDspTime);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].in, le32({2026, 12, 8, 23, 59, 58}));
    EXPECT_EQ(sent[1].in, le32({2027, 1, 31, 0, 0, 0}));
    EXPECT_EQ(sent[0].outSize, 0u);
}

TEST_F(DriverLinkTest, ChannelSwitchesSendChannelAndOnOff) {
    link.switchChannel(2, true);
    link.switchSubChannel(3, false);
    link.switchChannel(0, false);
    const auto sent = transport.requests();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0].code, kChannelSwitch);
    EXPECT_EQ(sent[0].in, le32({2, 1}));
    EXPECT_EQ(sent[1].code, kSubChannelSwitch);
    EXPECT_EQ(sent[1].in, le32({3, 0}));
    EXPECT_EQ(sent[2].in, le32({0, 0}));
    EXPECT_EQ(sent[0].outSize, 0u);
}

// --- guard checks ---------------------------------------------------------------------

TEST_F(DriverLinkTest, DeviceInfoBelowOneWordSendsNothing) {
    std::array<std::uint8_t, 3> small{};
    EXPECT_EQ(link.deviceInfo(1, {}), 0u);
    EXPECT_EQ(link.deviceInfo(1, small), 0u);
    EXPECT_EQ(transport.count(), 0u);
    std::array<std::uint8_t, 4> one{};
    transport.setAnswer(kDeviceInfo, Answer{.out = {1, 2, 3, 4}});
    EXPECT_EQ(link.deviceInfo(14, one), 4u);
    EXPECT_EQ(onlyRequest().in, le32({14, 0}));  // second word always 0
}

TEST_F(DriverLinkTest, ChannelStatusBelowThirtyTwoBytesSendsNothing) {
    std::vector<std::uint8_t> small(31, 0), enough(32, 0);
    transport.setAnswer(kChannelStatus, Answer{.out = pattern(32)});
    transport.setAnswer(kChannelStatusAck, Answer{.out = pattern(32)});
    EXPECT_EQ(link.channelStatus(small), 0u);
    EXPECT_EQ(link.acknowledgeChannelStatus(small), 0u);
    EXPECT_EQ(transport.count(), 0u);
    EXPECT_EQ(link.channelStatus(enough), 32u);
    EXPECT_EQ(enough, pattern(32));
    EXPECT_EQ(link.acknowledgeChannelStatus(enough), 32u);
    EXPECT_EQ(transport.requestsOf(kChannelStatusAck).at(0).in, le32({0x04030201}));
}

// --- payload requests --------------------------------------------------------------------

TEST_F(DriverLinkTest, PayloadsBeyondTheLimitAreRefusedWithoutARequest) {
    std::vector<std::uint8_t> huge(kMaxRequestPayload + 1);
    EXPECT_EQ(link.writeBytes(0, 0, huge), 0u);
    EXPECT_EQ(link.loadBlock(0, 0, huge), 0u);
    huge = {};
    std::vector<std::uint32_t> words(kMaxRequestPayload / 4 + 1);
    EXPECT_EQ(link.writeWords(0, 0, words), 0u);
    EXPECT_EQ(transport.count(), 0u);
}

}  // namespace
}  // namespace pemblor::driver
