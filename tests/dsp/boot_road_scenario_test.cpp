// The boot road on a simulated card, as an operator walks it in the script
// console: unlock, set-up refused while no program runs, reset, load with a
// block the card refuses, start, set-up, and the card's own account of what
// it received.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "coff_files.hpp"
#include "support/console_script.hpp"
#include "temp_dir.hpp"

namespace pemblor::dsp {
namespace {

using ::testing::ElementsAre;
using ::testing::MatchesRegex;
using ::testing::StartsWith;

constexpr const char* kUnlock = "click \"5 Enable Superior Op\"\nsettext 1064 \"61740253\"\nclick \"Enter\"\n";

TEST(BootRoad, RefusedWhileNothingRunsThenResetLoadStartAndSetUp) {
    testing::TempDir dir;
    const testing::Bytes program =
        testing::CoffWriter(testing::CoffLayout::kC1)
            .add({.address = 0x400, .flags = kSectionCode, .data = testing::pattern(100, 1)})
            .add({.address = 0x50000000, .flags = kSectionData, .data = testing::pattern(32, 3)})  // no memory there
            .add({.address = 0x80000000, .flags = kSectionData, .data = testing::pattern(64, 2)})
            .build();
    testing::writeFile(dir / "prog.img", testing::scrambled(program));
    sim::SimSettings s = sim::SimSettings::withCards({0});
    s.cards[0].bootMs = 100;
    s.cards[0].serial = "ROAD-0001";
    const auto run = pemblor::testing::runConsoleScript(
        std::string(kUnlock) +
            "click \"1 OpenDev\"\nclick \"10 SetDMA\"\nclick \"9 InterDSP\"\n"  // no program: both refused
            "click 1047\nclick 1054\nclick \"7 ResetDSP\"\nstate 1047\nstate 1054\n"
            "answer file \"" + (dir / "prog.img").string() + "\"\nclick \"8 LoadP\"\n"
            "click \"9 InterDSP\"\nclick \"10 SetDMA\"\nprint 1018\n"
            "select 1033 2\nclick \"3 DevInf\"\n",
        s, dir.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_GE(run.out.size(), 21u);
    EXPECT_THAT(std::vector<std::string>(run.out.begin(), run.out.begin() + 21),
                ElementsAre("OPEN 102", "OPEN 132", "CLOSE 132 1", "CLEAR", StartsWith("LINE Open Dev KSVECWDM0 OK"),
                            "MSG Init DSP failed!DSP is not running!", "LINE 发中断到DSP完成    OK !!!",
                            "MSG Init DSP failed!DSP is not running!", "LINE 复位DSP完成        OK !!!",
                            "STATE 1047 enabled=1 visible=1 checked=0 selection=-1 items=0",
                            "STATE 1054 enabled=1 visible=1 checked=0 selection=-1 items=0",
                            "LINE Load prog.img to DSP finished OK!!!", "LINE ERROR!!!!!!",
                            "LINE 发中断到DSP完成    OK !!!",
                            MatchesRegex("LINE DSP starting takes: [0-9]+ ms"), "LINE SET_DSP_TIME       OK !!!",
                            "LINE SET_DMA_VADDR      OK !!!", "LINE SET_DMA_OADDR      OK !!!",
                            "LINE SET_DMA_PADDR      OK !!!", "LINE 板卡序列号  : ROAD-0001",
                            "TEXT 1018 W01070605 H00020801 D20260101"));
    // Counted in 20 ms waits, and no fewer than the card's boot time.
    const int ms = std::stoi(run.out[14].substr(std::string("LINE DSP starting takes: ").size()));
    EXPECT_EQ(ms % 20, 0);
    EXPECT_GE(ms, 100);
    // The card's own account: running (21), the two blocks it took (164 bytes), all three DMA
    // addresses, the clock; the refused block in between did not stop the third.
    ASSERT_GE(run.out.size(), 24u);
    EXPECT_THAT(run.out[23], StartsWith("LINE 0x0000 15 00 00 00 02 00 00 00 A4 00 00 00 07 00 00 00 "));
}

}  // namespace
}  // namespace pemblor::dsp
