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

// The LINE and MSG events after the device is opened, the console unlocked
// and the list cleared.
std::vector<std::string> lines(const std::string& script, const std::function<void(sim::CardSettings&)>& card = {}) {
    sim::SimSettings settings = sim::SimSettings::withCards({0});
    if (card) card(settings.cards.at(0));
    const auto run = testing::runConsoleScript(
        "click \"1 OpenDev\"\nclick \"5 Enable Superior Op\"\nsettext 1064 \"61740253\"\nclick \"Enter\"\n"
        "click \"13 Clear\"\n" +
            script,
        std::move(settings));
    EXPECT_EQ(run.exitCode, 0) << run.err;
    auto e = std::find(run.out.begin(), run.out.end(), "CLOSE 132 1");
    std::vector<std::string> out;
    for (e = std::find(e, run.out.end(), "CLEAR"); e != run.out.end(); ++e) {
        if (e->starts_with("LINE ")) out.push_back(e->substr(5));
        if (e->starts_with("MSG ")) out.push_back(*e);
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
        transfer("Write", "bar0   4M", "0x400", "8", "11 22 33 44 55") + transfer("Read", "bar0   4M", "0x400", "8") +
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
        transfer("Write", "2804 Register", "0x21", "4", "01 02 03 04") +
        transfer("Read", "2804 Register", "0x20", "8") + transfer("Read", "2804 Register", "0x10", "0x10") +
        transfer("Read", "Physical Address", "0x1000", "8") +
        // Nothing can be written to the DSP address field.
        transfer("Write", "DSP Address Field", "0x400", "4", "FF") + transfer("Read", "bar0   4M", "0x10", "4") +
        // The presets show sorted: item 7 is HSR, item 0 of the lengths "0x04".
        "select 1012 1\nselect 1005 7\nselect 1023 0\nclick \"Read\"\n";
    EXPECT_THAT(lines(script), ElementsAreArray({
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
        "Read:  Bar=5 Addr=0x00000020 ,Length=8 RCount=32",
        "0x0000 B5 00 00 00 20 00 00 00 00 00 00 00 00 00 00 00 ",
        "0x0010 01 02 03 04 21 00 00 00 00 00 00 00 00 00 00 00 ",
        "Read:  Bar=5 Addr=0x00000010 ,Length=16 RCount=64",
        "0x0000 65 00 00 00 10 00 00 00 00 00 00 00 00 00 00 00 ",
        "0x0010 8A 00 00 00 11 00 00 00 00 00 00 00 00 00 00 00 ",
        "0x0020 AF 00 00 00 12 00 00 00 00 00 00 00 00 00 00 00 ",
        "0x0030 D4 00 00 00 13 00 00 00 00 00 00 00 00 00 00 00 ",
        "Read:  Bar=6 Addr=0x00001000 ,Length=8 RCount=8", "0x0000 00 10 00 00 04 10 00 00 ",
        "Write: Bar=4 Addr=0x00000400 ,Length=4 RCount=0", "0x0000 FF 00 00 00 ",
        "Read:  Bar=0 Addr=0x00000010 ,Length=4 RCount=4", "0x0000 5A A5 00 00 ",
        "Read:  Bar=1 Addr=0x0041FFF0 ,Length=4 RCount=4", "0x0000 00 00 00 00 ",
    }));
}

TEST(MemoryScenario, TheMemoryTestFindsEveryKindOfBadMemory) {
    const std::vector<std::string> start = {"DSP复位完成!", "配置EMIFA完成!", "开始测试片内存储器......"};
    const std::vector<std::string> onChipPassed = {"片内存储器测试通过!         OK", "开始测试片外存储器......"};
    const auto with = [&](std::vector<std::vector<std::string>> parts) {
        std::vector<std::string> all = start;
        for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    std::vector<std::string> refused;
    for (int n = 0; n < 64; ++n)
        refused.push_back("Chip storage written FF failed! Location " + std::to_string(n) + "k Read Value00");
    for (int n = 0; n < 64; ++n)
        refused.push_back("Chip storage written 00 failed! Location " + std::to_string(n) + "k Read ValueFF");
    const struct {
        const char* what;
        std::function<void(sim::CardSettings&)> card;
        std::vector<std::string> want;
    } kCases[] = {
        {"healthy: seven lines",
         {},
         with({onChipPassed, {"片外存储器测试通过!         OK", "内外存储器测试完成!         OK"}})},
        {"stuck on chip: no external test", [](sim::CardSettings& c) { c.faults.stuck[3 * 1024 + 5] = 0xFB; },
         with({{"Chip storage written FF failed! Location 3k Read ValueFB",
                "Chip storage written 00 failed! Location 3k Read ValueFB", "片内存储器测试失败!         FAIL!"}})},
        {"bad beyond the 64 KB read back: unseen", [](sim::CardSettings& c) { c.faults.stuck[0x10000] = 0x5A; },
         with({onChipPassed, {"片外存储器测试通过!         OK", "内外存储器测试完成!         OK"}})},
        {"stuck on external page 5", [](sim::CardSettings& c) { c.faults.stuck[0x80000000u + 5 * 0x400000 + 7] = 0; },
         with({onChipPassed,
               {"Chip storage written FF failed! Location 5M Read Value00", "片外存储器测试失败!         FAIL!"}})},
        {"every read refused", [](sim::CardSettings& c) { c.faults.failingCodes.insert(0x222050); },
         with({refused, {"片内存储器测试失败!         FAIL!"}})},
    };
    for (const auto& c : kCases)
        EXPECT_THAT(lines("click \"6 MemTest\"\n", c.card), ElementsAreArray(c.want)) << c.what;
    // Without a device, only the message.
    EXPECT_THAT(lines("click \"2 CloseDev\"\nclick \"13 Clear\"\nclick \"6 MemTest\"\n"),
                ElementsAre("Close device finished OK !!!", "MSG Device is not open, failed!"));
}

TEST(MemoryScenario, SendsLandInTheCardsMessageRecordAndDebugReportsTheDriversAnswer) {
    const auto got = lines(
        "settext 1013 \"01 02 03 04 05 06 07 08\"\nclick \"Send to DSP\"\n"
        "select 1033 \"C SDK Message Packet\"\nclick \"3 DevInf\"\n"
        "settext 1013 \"AA BB\"\nclick \"Send to PCI\"\nclick \"3 DevInf\"\n"
        "settext 1032 \"0x0C\"\nclick \"Debug\"\n");
    // Each information dump is 17 lines; its first three tell the message.
    ASSERT_EQ(got.size(), 2u + 17u + 2u + 17u + 1u);
    const std::vector<std::string> dsp(got.begin(), got.begin() + 5), pci(got.begin() + 19, got.begin() + 24);
    EXPECT_THAT(dsp, ElementsAre("Write: Bar=0 Addr=0x00000020 ,Length=8 RCount=0", "0x0000 01 02 03 04 05 06 07 08 ",
                                 "DevInf: C SDK Message Packet=c Length=256 RCount=256",
                                 "0x0000 01 00 00 00 08 00 00 00 01 00 00 00 00 00 00 00 ",  // DSP area, 8 bytes, 1st
                                 "0x0010 01 02 03 04 05 06 07 08 00 00 00 00 00 00 00 00 "));
    EXPECT_THAT(pci, ElementsAre("Write: Bar=0 Addr=0x0000A020 ,Length=2 RCount=0", "0x0000 AA BB ",
                                 "DevInf: C SDK Message Packet=c Length=256 RCount=256",
                                 "0x0000 02 00 00 00 02 00 00 00 02 00 00 00 00 00 00 00 ",  // PCI area, 2 bytes, 2nd
                                 "0x0010 AA BB 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "));
    EXPECT_EQ(got.back(), "发送调试命令完成!");
    EXPECT_THAT(lines("click \"Debug\"\n", [](sim::CardSettings& c) { c.faults.failingCodes.insert(0x2220c4); }),
                ElementsAre("发送调试命令失败!"));
}

}  // namespace
}  // namespace pemblor::memory
