// The memory tools, the memory test and the sends as an operator drives them
// through the script console, against simulated cards.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "support/console_script.hpp"

namespace pemblor::memory {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr const char* kOpenAndUnlock =
    "click \"1 OpenDev\"\n"
    "click \"5 Enable Superior Op\"\nsettext 1064 \"61740253\"\nclick \"Enter\"\n"
    "click \"13 Clear\"\n";

// The output lines (LINE events, without the prefix) after the open and the unlock.
std::vector<std::string> lines(const std::string& script, sim::SimSettings settings = sim::SimSettings::withCards({0})) {
    const auto run = testing::runConsoleScript(std::string(kOpenAndUnlock) + script, std::move(settings));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    // The prelude ends with the unlock dialog closing and the list cleared.
    auto e = std::find(run.out.begin(), run.out.end(), "CLOSE 132 1");
    EXPECT_NE(e, run.out.end());
    std::vector<std::string> out;
    for (e = std::find(e, run.out.end(), "CLEAR"); e != run.out.end(); ++e) {
        if (e->rfind("LINE ", 0) == 0) out.push_back(e->substr(5));
        if (e->rfind("MSG ", 0) == 0) out.push_back(*e);
    }
    return out;
}

std::string transfer(const char* button, const char* type, const char* address, const char* length,
                     const char* data = nullptr) {
    std::string s = std::string("select 1012 \"") + type + "\"\nsettext 1005 \"" + address + "\"\nsettext 1023 \"" +
                    length + "\"\n";
    if (data) s += std::string("settext 1013 \"") + data + "\"\n";
    return s + "click \"" + button + "\"\n";
}

TEST(MemoryScenario, WhatIsWrittenReadsBackInEveryAddressSpace) {
    const std::string script =
        transfer("Write", "bar0   4M", "0x400", "8", "11 22 33 44 55") +
        transfer("Read", "bar0   4M", "0x400", "8") +
        // The same bytes through the DSP's own address: page 0 is on-chip memory.
        transfer("Read", "DSP Address Field", "0x400", "6") +
        transfer("Write", "bar1   8M", "0x100", "4", "DE AD BE EF") + transfer("Read", "bar1   8M", "0x100", "4") +
        transfer("Write", "bar2   IO", "0x10", "0x80", "01 02 03 04 05") + transfer("Read", "bar2   IO", "0x10", "8") +
        transfer("Write", "Original Video Field", "0x20", "3", "A1 B2 C3") +
        transfer("Read", "Original Video Field", "0x20", "4") +
        // External memory: page 0x200 in bar 0 is DSP address 0x80000000.
        transfer("Write", "bar1   8M", "0x0041FFF8 DSPP", "4", "00 02 00 00") +
        transfer("Write", "bar0   4M", "0x10", "2", "5A A5") +
        transfer("Read", "DSP Address Field", "0x80000010", "2") +
        transfer("Write", "2804 Register", "0x21", "4", "01 02 03 04") + transfer("Read", "2804 Register", "0x21", "4") +
        transfer("Read", "Physical Address", "0x1000", "8") +
        // Nothing can be written to the DSP address field or physical memory.
        transfer("Write", "DSP Address Field", "0x400", "4", "FF") + transfer("Read", "bar0   4M", "0x10", "4");
    EXPECT_THAT(lines(script),
                ElementsAreArray({
                    "Write: Bar=0 Addr=0x00000400 ,Length=8 RCount=0", "0x0000 11 22 33 44 55 00 00 00 ",
                    "Read:  Bar=0 Addr=0x00000400 ,Length=8 RCount=8", "0x0000 11 22 33 44 55 00 00 00 ",
                    "Read:  Bar=4 Addr=0x00000400 ,Length=6 RCount=6", "0x0000 11 22 33 44 55 00 ",
                    "Write: Bar=1 Addr=0x00000100 ,Length=4 RCount=0", "0x0000 DE AD BE EF ",
                    "Read:  Bar=1 Addr=0x00000100 ,Length=4 RCount=4", "0x0000 DE AD BE EF ",
                    "Write: Bar=2 Addr=0x00000010 ,Length=4 RCount=0", "0x0000 01 02 03 04 ",
                    "Read:  Bar=2 Addr=0x00000010 ,Length=8 RCount=8", "0x0000 01 02 03 04 00 00 00 00 ",
                    "Write: Bar=3 Addr=0x00000020 ,Length=3 RCount=3", "0x0000 A1 B2 C3 ",
                    "Read:  Bar=3 Addr=0x00000020 ,Length=4 RCount=4", "0x0000 A1 B2 C3 00 ",
                    "Write: Bar=1 Addr=0x0041FFF8 ,Length=4 RCount=0", "0x0000 00 02 00 00 ",
                    "Write: Bar=0 Addr=0x00000010 ,Length=2 RCount=0", "0x0000 5A A5 ",
                    "Read:  Bar=4 Addr=0x80000010 ,Length=2 RCount=2", "0x0000 5A A5 ",
                    "Write: Bar=5 Addr=0x00000021 ,Length=4 RCount=0", "0x0000 01 02 03 04 ",
                    "Read:  Bar=5 Addr=0x00000021 ,Length=4 RCount=16", "0x0000 01 02 03 04 21 00 00 00 00 00 00 00 00 00 00 00 ",
                    "Read:  Bar=6 Addr=0x00001000 ,Length=8 RCount=8", "0x0000 00 10 00 00 04 10 00 00 ",
                    "Write: Bar=4 Addr=0x00000400 ,Length=4 RCount=0", "0x0000 FF 00 00 00 ",
                    "Read:  Bar=0 Addr=0x00000010 ,Length=4 RCount=4", "0x0000 5A A5 00 00 ",
                }));
}

TEST(MemoryScenario, RegisterReadOfSixteenBytesShowsFourRegistersOneLineEach) {
    EXPECT_THAT(lines(transfer("Read", "2804 Register", "0x10", "0x10")),
                ElementsAre("Read:  Bar=5 Addr=0x00000010 ,Length=16 RCount=64",
                            "0x0000 65 00 00 00 10 00 00 00 00 00 00 00 00 00 00 00 ",
                            "0x0010 8A 00 00 00 11 00 00 00 00 00 00 00 00 00 00 00 ",
                            "0x0020 AF 00 00 00 12 00 00 00 00 00 00 00 00 00 00 00 ",
                            "0x0030 D4 00 00 00 13 00 00 00 00 00 00 00 00 00 00 00 "));
}

// The lines of a test up to the start of its on-chip part.
const std::vector<std::string> kTestStart = {"DSP复位完成!", "配置EMIFA完成!", "开始测试片内存储器......"};

std::vector<std::string> withStart(std::vector<std::string> rest) {
    std::vector<std::string> all = kTestStart;
    all.insert(all.end(), rest.begin(), rest.end());
    return all;
}

sim::SimSettings cardWith(const std::function<void(sim::CardSettings&)>& change) {
    sim::SimSettings s = sim::SimSettings::withCards({0});
    change(s.cards.at(0));
    return s;
}

TEST(MemoryScenario, AHealthyCardPassesInSevenLines) {
    EXPECT_THAT(lines("click \"6 MemTest\"\n"),
                ElementsAreArray(withStart({"片内存储器测试通过!         OK", "开始测试片外存储器......",
                                            "片外存储器测试通过!         OK", "内外存储器测试完成!         OK"})));
}

TEST(MemoryScenario, AStuckOnChipByteFailsItsPieceAndStopsBeforeExternalMemory) {
    const auto settings = cardWith([](sim::CardSettings& c) { c.stuck[3 * 1024 + 5] = 0xFB; });
    EXPECT_THAT(lines("click \"6 MemTest\"\n", settings),
                ElementsAreArray(withStart({"Chip storage written FF failed! Location 3k Read ValueFB",
                                            "Chip storage written 00 failed! Location 3k Read ValueFB",
                                            "片内存储器测试失败!         FAIL!"})));
    // A bad byte beyond the first 64 KB is written but never read back.
    const auto unseen = cardWith([](sim::CardSettings& c) { c.stuck[0x10000] = 0x5A; });
    EXPECT_EQ(lines("click \"6 MemTest\"\n", unseen).back(), "内外存储器测试完成!         OK");
}

TEST(MemoryScenario, AStuckByteOnExternalPageFiveIsReportedAsFiveM) {
    const auto settings = cardWith([](sim::CardSettings& c) { c.stuck[0x80000000u + 5 * 0x400000 + 7] = 0x00; });
    EXPECT_THAT(lines("click \"6 MemTest\"\n", settings),
                ElementsAreArray(withStart({"片内存储器测试通过!         OK", "开始测试片外存储器......",
                                            "Chip storage written FF failed! Location 5M Read Value00",
                                            "片外存储器测试失败!         FAIL!"})));
}

TEST(MemoryScenario, ACardThatRefusesEveryReadNeverPasses) {
    const auto settings = cardWith([](sim::CardSettings& c) { c.failingCodes.insert(0x222050); });
    std::vector<std::string> want;
    for (int n = 0; n < 64; ++n) want.push_back("Chip storage written FF failed! Location " + std::to_string(n) + "k Read Value00");
    for (int n = 0; n < 64; ++n) want.push_back("Chip storage written 00 failed! Location " + std::to_string(n) + "k Read ValueFF");
    want.push_back("片内存储器测试失败!         FAIL!");
    EXPECT_THAT(lines("click \"6 MemTest\"\n", settings), ElementsAreArray(withStart(want)));
}

TEST(MemoryScenario, WithoutADeviceTheTestOnlySaysSo) {
    const auto run = testing::runConsoleScript(
        "click \"5 Enable Superior Op\"\nsettext 1064 \"61740253\"\nclick \"Enter\"\nclick \"6 MemTest\"\n",
        sim::SimSettings::withCards({0}));
    EXPECT_THAT(run.out, ElementsAre("OPEN 102", "OPEN 132", "CLOSE 132 1", "MSG Device is not open, failed!", "CLOSE 102 2"));
}

TEST(MemoryScenario, SendsLandInTheCardsMessageRecordAndDebugReportsTheDriversAnswer) {
    const std::string script =
        "settext 1013 \"01 02 03 04 05 06 07 08\"\nclick \"Send to DSP\"\n"
        "select 1033 \"C SDK Message Packet\"\nclick \"3 DevInf\"\n"
        "settext 1013 \"AA BB\"\nclick \"Send to PCI\"\nclick \"3 DevInf\"\n"
        "settext 1032 \"0x0C\"\nclick \"Debug\"\n";
    const std::string zeros = "00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 ";
    std::vector<std::string> want = {"Write: Bar=0 Addr=0x00000020 ,Length=8 RCount=0", "0x0000 01 02 03 04 05 06 07 08 ",
                                     "DevInf: C SDK Message Packet=c Length=256 RCount=256",
                                     "0x0000 01 00 00 00 08 00 00 00 01 00 00 00 00 00 00 00 ",
                                     "0x0010 01 02 03 04 05 06 07 08 00 00 00 00 00 00 00 00 "};
    for (int row = 2; row < 16; ++row) want.push_back(std::string("0x00") + "0123456789ABCDEF"[row] + "0 " + zeros);
    want.insert(want.end(), {"Write: Bar=0 Addr=0x0000A020 ,Length=2 RCount=0", "0x0000 AA BB ",
                             "DevInf: C SDK Message Packet=c Length=256 RCount=256",
                             "0x0000 02 00 00 00 02 00 00 00 02 00 00 00 00 00 00 00 ",
                             "0x0010 AA BB 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "});
    for (int row = 2; row < 16; ++row) want.push_back(std::string("0x00") + "0123456789ABCDEF"[row] + "0 " + zeros);
    want.push_back("发送调试命令完成!");
    const auto got = lines(script);
    EXPECT_THAT(got, ElementsAreArray(want));

    const auto refused = cardWith([](sim::CardSettings& c) { c.failingCodes.insert(0x2220c4); });
    EXPECT_THAT(lines("click \"Debug\"\n", refused), ElementsAre("发送调试命令失败!"));
}

}  // namespace
}  // namespace pemblor::memory
