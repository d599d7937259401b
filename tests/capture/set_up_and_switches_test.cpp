// "10 SetDMA" and the eight channel boxes against a scripted driver.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "capture/capture.hpp"
#include "dsp/temp_dir.hpp"
#include "fake_seam.hpp"
#include "scripted_card.hpp"

namespace pemblor::capture {
namespace {

using namespace resources::console;
using ::testing::ElementsAre;
using pemblor::testing::Answer;
using pemblor::testing::le32;

// The hardware answer: two words, then the serial field and what follows it.
std::vector<std::uint8_t> hardware(std::string_view serialField, std::uint8_t after = 0) {
    std::vector<std::uint8_t> a = le32({0xCAFE0001, 0x20260101});
    a.resize(32, after);
    std::fill(a.begin() + 8, a.begin() + 24, 0);
    std::copy(serialField.begin(), serialField.end(), a.begin() + 8);
    return a;
}

struct SetUpRun {
    std::vector<std::string> lines, messages;
    std::vector<std::uint32_t> codes;  // requests after the open, in order
    std::string verInf;
    std::vector<std::uint8_t> clock;
    long long slept = 0;
};

SetUpRun setUp(const std::function<void(pemblor::testing::RecordingTransport&)>& script, bool open = true) {
    dsp::testing::TempDir dir;
    testing::ScriptedCard card;
    testing::FakeSeam seam{card.transport, dir.path()};
    seam.fakeHost.clock = {2008, 12, 31, 23, 59, 59, 0, 3};
    auto capture = attachCapture(seam);
    seam.unlock();
    if (open) seam.openDevice(0);
    card.transport.setAnswer(driver::kDspState, {.out = le32({21})});
    card.transport.setAnswer(driver::kDriverVersion, {.out = le32({0x01080000, 0})});
    card.transport.setAnswer(driver::kHardwareInfo, {.out = hardware("SN-0042")});
    script(card.transport);
    card.transport.clearRecords();
    seam.click(kSetDma);
    SetUpRun r{seam.lines, seam.fakeHost.messages, {}, seam.dialog().text(kVerInfLine), {}, seam.fakeHost.sleptMs};
    for (const auto& q : card.transport.requests()) {
        r.codes.push_back(q.code == driver::kAuxCommand ? q.word(0) : q.code);
        if (q.code == driver::kSetDspTime) r.clock = q.in;
    }
    return r;
}

TEST(SetDma, TheWholeSequenceAndWhereEachFailureEndsIt) {
    const auto all = setUp([](auto&) {});
    EXPECT_THAT(all.lines, ElementsAre("SET_DSP_TIME       OK !!!", "SET_DMA_VADDR      OK !!!",
                                       "SET_DMA_OADDR      OK !!!", "SET_DMA_PADDR      OK !!!",
                                       "板卡序列号  : SN-0042"));
    EXPECT_THAT(all.codes, ElementsAre(driver::kDspState, driver::kSetDspTime, driver::kSetDmaVaddr,
                                       driver::kSetDmaOaddr, driver::kAuxSetDmaPaddr, driver::kDriverVersion,
                                       driver::kHardwareInfo));
    EXPECT_EQ(all.clock, le32({2008, 12, 31, 23, 59, 59}));
    EXPECT_EQ(all.verInf, "W01080000 HCAFE0001 D20260101");
    EXPECT_EQ(all.slept, 0);

    const auto noClock = setUp([](auto& t) { t.setAnswer(driver::kSetDspTime, {.ok = false}); });
    EXPECT_TRUE(noClock.lines.empty());
    EXPECT_TRUE(noClock.messages.empty());
    EXPECT_THAT(noClock.codes, ElementsAre(driver::kDspState, driver::kSetDspTime));

    const auto noVaddr = setUp([](auto& t) { t.setAnswer(driver::kSetDmaVaddr, {.ok = false}); });
    EXPECT_THAT(noVaddr.lines, ElementsAre("SET_DSP_TIME       OK !!!"));
    EXPECT_THAT(noVaddr.codes, ElementsAre(driver::kDspState, driver::kSetDspTime, driver::kSetDmaVaddr));

    const auto noOaddr = setUp([](auto& t) { t.setAnswer(driver::kSetDmaOaddr, {.ok = false}); });
    EXPECT_EQ(noOaddr.lines.size(), 2u);

    // The result of SET_DMA_PADDR is not looked at.
    const auto noPaddr = setUp([](auto& t) { t.setAnswer(driver::kAuxCommand, {.ok = false}); });
    EXPECT_EQ(noPaddr.lines, all.lines);

    const auto late = setUp([](auto& t) {
        for (int i = 0; i < 9; ++i) t.queueAnswer(driver::kDspState, {.out = le32({20})});
        t.queueAnswer(driver::kDspState, {.ok = false, .out = le32({21})});
    });
    EXPECT_EQ(late.lines, all.lines);
    EXPECT_EQ(late.slept, 200);

    const auto never = setUp([](auto& t) { t.setAnswer(driver::kDspState, {.out = le32({20})}); });
    EXPECT_TRUE(never.lines.empty());
    EXPECT_THAT(never.messages, ElementsAre("Init DSP failed!DSP is not running!"));
    EXPECT_EQ(never.codes, std::vector<std::uint32_t>(50, driver::kDspState));
    EXPECT_EQ(never.slept, 1000);

    const auto closed = setUp([](auto&) {}, false);
    EXPECT_THAT(closed.messages, ElementsAre("Device is not open, failed!"));
    EXPECT_TRUE(closed.codes.empty());
}

TEST(SetDma, SerialNumberEndsAtItsFirstZeroOrAtByteTwentyFour) {
    struct Case {
        std::string field;
        std::uint8_t after;
        std::string shown;
    };
    for (const Case& c : std::vector<Case>{{"0123456789ABCDEF", 'Z', "0123456789ABCDEF"},
                                           {"short", 'Z', "short"},
                                           {"", 'Z', ""},
                                           {std::string("AB\0CD", 5), 'Z', "AB"}}) {
        const auto r = setUp([&](auto& t) { t.setAnswer(driver::kHardwareInfo, {.out = hardware(c.field, c.after)}); });
        ASSERT_FALSE(r.lines.empty());
        EXPECT_EQ(r.lines.back(), "板卡序列号  : " + c.shown);
    }
}

TEST(ChannelSwitches, EachBoxSendsItsRequestAtOnceOpenOrNot) {
    dsp::testing::TempDir dir;
    testing::ScriptedCard card;
    testing::FakeSeam seam{card.transport, dir.path()};
    auto capture = attachCapture(seam);
    // No device: sent all the same, and failing silently.
    for (int round = 0; round < 2; ++round) {
        for (int box = 0; box < 8; ++box) seam.click(kChannelSwitchFirst + box);
    }
    ASSERT_EQ(card.transport.count(), 16u);
    EXPECT_EQ(card.transport.requests()[5].code, driver::kSubChannelSwitch);
    EXPECT_EQ(card.transport.requests()[5].in, le32({1, 1}));
    EXPECT_EQ(card.transport.requests()[13].in, le32({1, 0}));
    seam.openDevice(0);
    card.transport.clearRecords();
    seam.click(1050);
    seam.click(1050);
    seam.click(1051);
    seam.click(1054);
    std::vector<std::string> sent;
    for (const auto& r : card.transport.requests()) {
        sent.push_back(std::to_string(r.code == driver::kChannelSwitch ? 0 : 1) + ":" + std::to_string(r.word(0)) +
                       "," + std::to_string(r.word(1)) + "/" + std::to_string(r.in.size()));
    }
    EXPECT_THAT(sent, ElementsAre("0:3,1/8", "0:3,0/8", "1:0,1/8", "1:3,1/8"));
    EXPECT_TRUE(seam.lines.empty());
    EXPECT_TRUE(seam.fakeHost.messages.empty());
    EXPECT_TRUE(seam.dialog().checked(1051));
}

}  // namespace
}  // namespace pemblor::capture
