// The status lines and the data watch as an operator sees them, through the
// script console on simulated cards.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/console_script.hpp"

namespace pemblor::app {
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

TEST(StatusScenario, StatusLinesOfAnOpenCardWithoutReception) {
    const auto run = runConsoleScript("click \"1 OpenDev\"\nwait 1100\nprint labels\n", sim::SimSettings::withCards({0}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (int ch = 1; ch <= 4; ++ch) {
        const int id = std::array{1019, 1026, 1039, 1040}[static_cast<std::size_t>(ch - 1)];
        EXPECT_THAT(run.out, Contains("TEXT " + std::to_string(id) + " CH" + std::to_string(ch) +
                                      ":FN:0000 BR:000kb 0/0/0/0 00"));
    }
    EXPECT_THAT(run.out, Contains(MatchesRegex("TEXT 1011 T:[0-9A-F]{4} I:[0-9A-F]{4} S:[0-9A-F]{4} M:[0-9A-F]{4}")));
    EXPECT_THAT(run.out, Contains(MatchesRegex("TEXT 1017 T:[0-9]+ D:[0-9]+ S:[0-9]+ V:[0-9]+")));
    EXPECT_THAT(run.out, Contains("TEXT 1016 S:0000 T:0000 E:0000 G:0000 P:0000 L:0000 M:0000 R:0k"));
}

}  // namespace
}  // namespace pemblor::app
