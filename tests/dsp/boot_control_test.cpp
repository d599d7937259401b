// "7 ResetDSP", "8 LoadP" and "9 InterDSP" against a scripted driver.
#include "dsp/boot_control.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "capture/fake_seam.hpp"
#include "capture/scripted_card.hpp"
#include "coff_files.hpp"
#include "temp_dir.hpp"

namespace pemblor::dsp {
namespace {

using namespace resources::console;
using ::testing::ElementsAre;
using pemblor::testing::Answer;
using pemblor::testing::le32;

class BootControl : public ::testing::Test {
protected:
    void SetUp() override {
        seam.unlock();
        ASSERT_TRUE(seam.openDevice(0));
    }
    std::vector<std::uint32_t> indexes(std::uint32_t code, std::size_t word) {
        std::vector<std::uint32_t> v;
        for (const auto& r : card.transport.requestsOf(code)) v.push_back(r.word(word));
        return v;
    }

    testing::TempDir dir;
    capture::testing::ScriptedCard card;
    capture::testing::FakeSeam seam{card.transport, dir.path()};
    std::unique_ptr<app::Subsystem> boot = attachBootControl(seam);
};

TEST_F(BootControl, ResetClearsTheChannelBoxesOnlyWhenTheDriverTakesIt) {
    for (int box = kChannelSwitchFirst; box < kChannelSwitchFirst + 8; ++box) seam.dialog().setChecked(box, true);
    card.transport.queueAnswer(driver::kDspReset, {.ok = false});
    seam.click(kResetDsp);
    EXPECT_TRUE(seam.lines.empty());
    EXPECT_TRUE(seam.dialog().checked(kChannelSwitchFirst + 7));
    seam.click(kResetDsp);
    EXPECT_THAT(seam.lines, ElementsAre("复位DSP完成        OK !!!"));
    for (int box = kChannelSwitchFirst; box < kChannelSwitchFirst + 8; ++box) EXPECT_FALSE(seam.dialog().checked(box));
    EXPECT_EQ(card.transport.count(driver::kChannelSwitch) + card.transport.count(driver::kSubChannelSwitch), 0u);
    EXPECT_EQ(card.transport.count(driver::kDspReset), 2u);
}

TEST_F(BootControl, LoadSendsEveryBlockAndMarksEachRefusedOne) {
    const testing::Bytes program =
        testing::CoffWriter(testing::CoffLayout::kC1)
            .add({.address = 0x0, .flags = kSectionCode, .data = testing::pattern(100, 1)})
            .add({.address = 0x00800000, .flags = kSectionData, .data = testing::pattern(64, 2)})
            .add({.address = 0x00900000, .flags = kSectionData, .data = testing::pattern(12, 3)})
            .build();
    testing::writeFile(dir / "prog.img", testing::scrambled(program));
    // The driver takes the first and third block whole; the second one byte short, then not at all.
    int load = 0;
    card.transport.setHandler([&](const pemblor::testing::RecordedRequest& r) -> std::optional<Answer> {
        if (r.code != driver::kDspLoadBlock) return std::nullopt;
        const auto size = static_cast<std::uint32_t>(r.in.size() - 8);
        ++load;
        if (load == 2) return Answer{.out = le32({0, size + 7})};
        if (load == 5) return Answer{.ok = false, .out = le32({0, size + 8})};
        return Answer{.out = le32({0, size + 8})};
    });
    seam.fakeHost.fileAnswers = {std::nullopt, dir / "prog.img", dir / "prog.img"};
    seam.click(kLoadP);  // cancelled
    EXPECT_TRUE(seam.lines.empty());
    seam.click(kLoadP);
    seam.click(kLoadP);
    EXPECT_THAT(seam.lines, ElementsAre("Load prog.img to DSP finished OK!!!", "ERROR!!!!!!",
                                        "Load prog.img to DSP finished OK!!!", "ERROR!!!!!!"));
    EXPECT_EQ(indexes(driver::kDspLoadBlock, 0), (std::vector<std::uint32_t>{0, 1, 2, 0, 1, 2}));
    EXPECT_EQ(indexes(driver::kDspLoadBlock, 1),
              (std::vector<std::uint32_t>{0, 0x00800000, 0x00900000, 0, 0x00800000, 0x00900000}));
    const auto first = card.transport.requestsOf(driver::kDspLoadBlock).at(0);
    EXPECT_EQ(first.in.size(), 108u);
    EXPECT_EQ(testing::Bytes(first.in.begin() + 8, first.in.end()), testing::pattern(100, 1));
    ASSERT_EQ(seam.fakeHost.fileRequests.size(), 3u);
    EXPECT_EQ(seam.fakeHost.fileRequests[0].filter, "IMG Files(*.img)|*.img|All Files(*.*)|*.*||");
    EXPECT_EQ(seam.fakeHost.fileRequests[0].defaultExtension, "IMG");
    EXPECT_EQ(seam.fakeHost.fileRequests[0].initialName, "*.img");
    EXPECT_EQ(card.transport.count(driver::kDspReset) + card.transport.count(driver::kDspInterrupt), 0u);
}

TEST_F(BootControl, StartPollsTheStateAndCountsItsWaits) {
    struct Case {
        const char* what;
        bool interruptTaken;
        int runningAtPoll;  // 0: never
        std::vector<std::string> lines;
        std::vector<std::string> messages;
        std::size_t polls;
        long long slept;
    };
    const std::vector<Case> cases{
        {"interrupt refused", false, 1, {}, {}, 0, 0},
        {"running at once", true, 1, {"发中断到DSP完成    OK !!!", "DSP starting takes: 0 ms"}, {}, 1, 0},
        {"running at the 11th poll", true, 11, {"发中断到DSP完成    OK !!!", "DSP starting takes: 200 ms"}, {}, 11, 200},
        {"running at the 200th poll", true, 200, {"发中断到DSP完成    OK !!!", "DSP starting takes: 3980 ms"}, {}, 200,
         3980},
        {"never running", true, 0, {"发中断到DSP完成    OK !!!"}, {"Init DSP failed!DSP is not running!"}, 200, 4000},
    };
    for (const Case& c : cases) {
        capture::testing::ScriptedCard fresh;
        capture::testing::FakeSeam s{fresh.transport, dir.path()};
        auto subsystem = attachBootControl(s);
        s.unlock();
        ASSERT_TRUE(s.openDevice(0));
        fresh.transport.setAnswer(driver::kDspInterrupt, {.ok = c.interruptTaken});
        int polls = 0;
        fresh.transport.setHandler([&](const pemblor::testing::RecordedRequest& r) -> std::optional<Answer> {
            if (r.code != driver::kDspState) return std::nullopt;
            ++polls;
            // A failing poll now and then must not count as running.
            if (polls % 7 == 3) return Answer{.ok = false, .out = le32({21})};
            return Answer{.out = le32({polls == c.runningAtPoll ? 21u : 20u})};
        });
        s.click(kInterDsp);
        EXPECT_EQ(s.lines, c.lines) << c.what;
        EXPECT_EQ(s.fakeHost.messages, c.messages) << c.what;
        EXPECT_EQ(static_cast<std::size_t>(polls), c.polls) << c.what;
        EXPECT_EQ(s.fakeHost.sleptMs, c.slept) << c.what;
    }
}

TEST_F(BootControl, NoDeviceNoRequest) {
    seam.link().closeDevice();
    card.transport.clearRecords();
    seam.fakeHost.fileAnswers = {dir / "prog.img"};
    for (int button : {kResetDsp, kLoadP, kInterDsp}) seam.click(button);
    EXPECT_THAT(seam.fakeHost.messages, ElementsAre("Device is not open, failed!", "Device is not open, failed!",
                                                    "Device is not open, failed!"));
    EXPECT_EQ(card.transport.count(), 0u);
    EXPECT_TRUE(seam.fakeHost.fileRequests.empty());
}

}  // namespace
}  // namespace pemblor::dsp
