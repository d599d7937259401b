// The status lines and the data watch as an operator sees them, through the
// script console on simulated cards.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "driver/little_endian.hpp"
#include "support/temp_dir.hpp"
#include "support/console_script.hpp"

namespace pemblor::status {
namespace {

using ::testing::Contains;
using ::testing::MatchesRegex;
using testing::runConsoleScript;

constexpr const char* kOpenAndUnlock =
    "click \"1 OpenDev\"\n"
    "click \"5 Enable Superior Op\"\nsettext 1064 \"61740253\"\nclick \"Enter\"\n";

std::string hexLines(std::initializer_list<std::uint32_t> words, std::size_t zeros) {
    std::string s;
    char buf[16];
    for (std::uint32_t w : words) {
        std::snprintf(buf, sizeof buf, "0x%08X\\r\\n", w);
        s += buf;
    }
    for (std::size_t i = 0; i < zeros; ++i) s += "0x00000000\\r\\n";
    return s;
}

// A run of stream blocks as the card lays them out: total length, stream id, payload.
struct BlockRun {
    std::vector<std::uint8_t> bytes;
    void block(std::uint32_t streamId, std::size_t payload, bool marked = false) {
        const std::size_t at = bytes.size();
        bytes.resize(at + 8 + payload, 0x5A);
        driver::storeU32(bytes, at, static_cast<std::uint32_t>(8 + payload));
        driver::storeU32(bytes, at + 4, streamId);
        if (payload >= 4) driver::storeU32(bytes, at + 8, marked ? 0xF0010000 : 0x00000001);
    }
};

sim::ReplayFetch encodedFetch(const BlockRun& run) {
    sim::ReplayFetch f;
    f.records.push_back({18, 0, 0, static_cast<std::uint32_t>(run.bytes.size())});
    f.areas.push_back({1, 0, run.bytes});
    return f;
}

TEST(StatusScenario, LinesAfterASecondOfReplayedTraffic) {
    auto script = std::make_shared<sim::ReplayScript>();
    // Channel 1: 128 KiB of payload in four blocks, the first marked; channel 2:
    // 100 bytes; its sub-stream one block of 4.
    BlockRun first;
    first.block(0, 32768, true);
    for (int i = 0; i < 3; ++i) first.block(0, 32768);
    first.block(1, 100);
    first.block(5, 4);
    script->fetches.push_back(encodedFetch(first));
    // Channel 3: 70000 empty blocks, so its count passes 0xFFFF; one byte after
    // the last header, so that the walk reads it.
    BlockRun many;
    for (int i = 0; i < 70000; ++i) many.block(2, 0);
    many.bytes.push_back(0);
    sim::ReplayFetch second = encodedFetch(many);
    second.records.push_back({240, 2, 0, 0});  // a preview picture of channel 3
    script->fetches.push_back(second);
    // 4104 original-video notices without bytes: G passes 0xFFF and wraps.
    for (int f = 0; f < 513; ++f) {
        sim::ReplayFetch g;
        for (int r = 0; r < 8; ++r) g.records.push_back({17, 0, 0, 0});
        script->fetches.push_back(g);
    }
    sim::SimSettings s = sim::SimSettings::withCards({0});
    s.cards[0].replay = script;

    pemblor::testing::TempDir root;
    const auto run = runConsoleScript(
        "click \"1 OpenDev\"\nclick \"RecvData\"\nwait 1100\nprint labels\nwait 1000\nprint labels\n", s, root.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::uint32_t total = static_cast<std::uint32_t>(first.bytes.size() + many.bytes.size());
    const std::string largest = std::to_string(many.bytes.size());
    auto labels = [&run](std::size_t which) {
        std::vector<std::string> l;
        std::size_t seen = 0;
        for (const std::string& e : run.out) {
            if (e.rfind("TEXT 1010 ", 0) == 0) ++seen;
            if (seen == which && e.rfind("TEXT ", 0) == 0) l.push_back(e);
        }
        return l;
    };
    const auto one = labels(1);
    EXPECT_THAT(one, Contains("TEXT 1019 CH1:FN:0004 BR:1024kb 3/1/0/0 00"));
    EXPECT_THAT(one, Contains("TEXT 1026 CH2:FN:0001 BR:000kb 1/0/0/1 00"));
    EXPECT_THAT(one, Contains("TEXT 1039 CH3:FN:11170 BR:000kb 70000/0/1/0 00"));
    EXPECT_THAT(one, Contains("TEXT 1040 CH4:FN:0000 BR:000kb 0/0/0/0 00"));
    EXPECT_THAT(one, Contains(MatchesRegex("TEXT 1016 S:0001 T:[0-9A-F]{4} E:0002 G:0008 P:0001 L:" + largest +
                                           " M:" + largest + " R:" + std::to_string(total >> 10) + "k")));
    // A second later the per-second figures have fallen to zero; the counts stay.
    const auto two = labels(2);
    EXPECT_THAT(two, Contains("TEXT 1019 CH1:FN:0004 BR:000kb 0/0/0/0 00"));
    EXPECT_THAT(two, Contains("TEXT 1039 CH3:FN:11170 BR:000kb 0/0/0/0 00"));
    EXPECT_THAT(two, Contains(MatchesRegex("TEXT 1016 S:0002 T:[0-9A-F]{4} E:0002 G:0008 P:0001 L:" + largest +
                                           " M:0000 R:0k")));
}

TEST(StatusScenario, WatchReadsBackWhatWasWrittenInHexOctalAndDecimal) {
    // Twenty lines: only the first sixteen are read.
    std::string watch = "0x100 FIRST\\r\\n0400\\r\\n260\\r\\n0x00000104 SECOND";
    for (int i = 0; i < 16; ++i) watch += "\\r\\n0x" + std::to_string(0x200 + i);
    const std::string script = std::string(kOpenAndUnlock) +
                               "select 1012 \"bar1   8M\"\nsettext 1005 \"0x100\"\nsettext 1023 \"8\"\n"
                               "settext 1013 \"11 22 33 44 55 66 77 88\"\nclick \"Write\"\n"
                               "settext 1014 \"" + watch + "\"\n"
                               "click \"15 Start Watch\"\nwait 1100\nprint 1015\n"
                               // Stopped: a new write no longer shows.
                               "click \"16 Stop Watch\"\nsettext 1013 \"99 99 99 99\"\nclick \"Write\"\n"
                               "wait 1100\nprint 1015\n";
    const auto run = runConsoleScript(script, sim::SimSettings::withCards({0}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string values = "TEXT 1015 " + hexLines({0x44332211, 0x44332211, 0x88776655, 0x88776655}, 12);
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), values), 2);
}

}  // namespace
}  // namespace pemblor::status
