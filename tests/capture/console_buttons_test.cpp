// The failure branches of the boot and set-up buttons, which the simulated
// card's road does not take: polls counted in waits, refused requests that
// end a handler silently, records as the driver receives them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/console.hpp"
#include "resources/console_ids.hpp"
#include "support/fake_host.hpp"
#include "support/recording_transport.hpp"

namespace pemblor::capture {
namespace {

using namespace resources::console;
using pemblor::testing::Answer;
using pemblor::testing::le32;
using pemblor::testing::RecordedRequest;

// The console on a scripted driver, device 0 open and the boot buttons unlocked.
struct Bench {
    pemblor::testing::RecordingTransport transport;
    pemblor::testing::FakeHost host;
    driver::DriverLink link{transport};
    std::unique_ptr<app::Console> console;
    int polls = 0;

    explicit Bench(int runningAtPoll) {
        transport.addDevice("\\\\.\\KSVECWDM0");
        transport.setAnswer(driver::kDriverVersion, {.out = le32({0x01070605, 0})});
        std::vector<std::uint8_t> hw = le32({1, 2});
        for (char ch : std::string("0123456789ABCDEFZZZZZZZZ")) hw.push_back(static_cast<std::uint8_t>(ch));
        transport.setAnswer(driver::kHardwareInfo, {.out = hw});  // a serial of 16 characters, no zero after it
        transport.setHandler([this, runningAtPoll](const RecordedRequest& r) -> std::optional<Answer> {
            if (r.code != driver::kDspState) return std::nullopt;
            ++polls;
            if (polls % 7 == 3) return Answer{.ok = false, .out = le32({21})};  // a failing poll never counts
            return Answer{.out = le32({polls == runningAtPoll ? 21u : 20u})};
        });
        console = std::make_unique<app::Console>(host, link);
        for (int id : {kResetDsp, kInterDsp, kSetDma}) console->dialog().setEnabled(id, true);
        console->dialog().click(kOpenDev);
        transport.clearRecords();
        host.messages.clear();  // no mapping here: the open says so
        console->clearList();
    }
    std::vector<std::string> lines() const {
        std::vector<std::string> l;
        for (std::size_t i = 0; i < console->dialog().itemCount(kOutputList); ++i) {
            l.emplace_back(console->dialog().item(kOutputList, i));
        }
        return l;
    }
};

TEST(ConsoleButtons, StartAndSetUpPollInWaitsOf20Ms) {
    const std::string started = "发中断到DSP完成    OK !!!";
    const std::vector<std::string> setUp = {"SET_DSP_TIME       OK !!!", "SET_DMA_VADDR      OK !!!",
                                            "SET_DMA_OADDR      OK !!!", "SET_DMA_PADDR      OK !!!",
                                            "板卡序列号  : 0123456789ABCDEF"};
    const std::string notRunning = "Init DSP failed!DSP is not running!";
    const struct {
        int button, runningAt;
        std::vector<std::string> lines, messages;
        int polls;
        long long slept;
    } cases[] = {
        {kInterDsp, 1, {started, "DSP starting takes: 0 ms"}, {}, 1, 0},
        {kInterDsp, 11, {started, "DSP starting takes: 200 ms"}, {}, 11, 200},
        {kInterDsp, 200, {started, "DSP starting takes: 3980 ms"}, {}, 200, 3980},
        {kInterDsp, 0, {started}, {notRunning}, 200, 4000},
        {kSetDma, 1, setUp, {}, 1, 0},
        {kSetDma, 50, setUp, {}, 50, 980},
        {kSetDma, 0, {}, {notRunning}, 50, 1000},
    };
    for (const auto& c : cases) {
        Bench b(c.runningAt);
        b.host.clock = {2008, 12, 31, 23, 59, 59, 0, 3};
        b.console->dialog().click(c.button);
        EXPECT_EQ(b.lines(), c.lines) << c.button << " " << c.runningAt;
        EXPECT_EQ(b.host.messages, c.messages) << c.button << " " << c.runningAt;
        EXPECT_EQ(b.polls, c.polls) << c.button << " " << c.runningAt;
        EXPECT_EQ(b.host.sleptMs, c.slept) << c.button << " " << c.runningAt;
        if (c.button == kSetDma && c.runningAt) {
            EXPECT_EQ(b.transport.requestsOf(driver::kSetDspTime).at(0).in, le32({2008, 12, 31, 23, 59, 59}));
            EXPECT_EQ(b.transport.requestsOf(driver::kAuxCommand).at(0).in, le32({12, 0}));
        }
    }
}

TEST(ConsoleButtons, RefusedRequestsEndTheHandlerSilently) {
    const struct {
        int button;
        std::uint32_t refused;
        std::vector<std::string> lines;
        std::size_t statePolls;
    } cases[] = {
        {kResetDsp, driver::kDspReset, {}, 0},
        {kInterDsp, driver::kDspInterrupt, {}, 0},
        {kSetDma, driver::kSetDspTime, {}, 1},
        {kSetDma, driver::kSetDmaVaddr, {"SET_DSP_TIME       OK !!!"}, 1},
        {kSetDma, driver::kSetDmaOaddr, {"SET_DSP_TIME       OK !!!", "SET_DMA_VADDR      OK !!!"}, 1},
    };
    for (const auto& c : cases) {
        Bench b(1);
        for (int box = kChannelSwitchFirst; box < kChannelSwitchFirst + 8; ++box) b.console->dialog().setChecked(box, true);
        b.transport.setAnswer(c.refused, {.ok = false});
        b.console->dialog().click(c.button);
        EXPECT_EQ(b.lines(), c.lines) << std::hex << c.refused;
        EXPECT_TRUE(b.host.messages.empty());
        EXPECT_EQ(b.transport.count(driver::kDspState), c.statePolls);
        // Nothing after the refused request.
        EXPECT_EQ(b.transport.requests().back().code, c.refused) << std::hex << c.refused;
        EXPECT_TRUE(b.console->dialog().checked(kChannelSwitchFirst + 7));  // a refused reset clears no box
    }
}

TEST(ConsoleButtons, ChannelBoxesSendTheirRecordAtOnceOpenOrNot) {
    Bench b(1);
    for (int box : {1050, 1050, 1051, 1054}) b.console->dialog().click(box);
    b.console->dialog().click(kCloseDev);
    b.transport.clearRecords();
    b.console->dialog().click(1047);  // no device: sent all the same, and failing silently
    std::vector<std::string> sent;
    for (const auto& r : b.transport.requests()) {
        if (r.code == driver::kChannelSwitch || r.code == driver::kSubChannelSwitch) {
            sent.push_back(std::to_string(r.code == driver::kChannelSwitch ? 0 : 1) + ":" + std::to_string(r.word(0)) +
                           "," + std::to_string(r.word(1)) + "/" + std::to_string(r.in.size()));
        }
    }
    EXPECT_THAT(sent, ::testing::ElementsAre("0:0,1/8"));
    EXPECT_TRUE(b.host.messages.empty());
}

}  // namespace
}  // namespace pemblor::capture
