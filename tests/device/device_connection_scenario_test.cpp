// The console's open, close and information dump, driven as an operator would.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "support/console_script.hpp"

namespace pemblor::device {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using testing::runConsoleScript;

sim::SimSettings cards(std::initializer_list<int> numbers) { return sim::SimSettings::withCards(numbers); }

// The dump rows of a byte answer, built independently of the console code.
std::vector<std::string> dumpRows(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::string> rows;
    std::string row;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i % 16 == 0) {
            if (i) rows.push_back("LINE " + row);
            char head[32];
            std::snprintf(head, sizeof head, "0x%04zX ", i);
            row = head;
        }
        char b[4];
        std::snprintf(b, sizeof b, "%02X ", bytes[i]);
        row += b;
    }
    if (!bytes.empty()) rows.push_back("LINE " + row);
    return rows;
}

std::vector<std::uint8_t> categoryNine(std::string_view tmpl, std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                       std::size_t size = 256) {
    std::vector<std::uint8_t> bytes(size, 0);
    const std::uint32_t words[3] = {a, b, c};
    for (int w = 0; w < 3; ++w) {
        for (int k = 0; k < 4; ++k) bytes[4 + 4 * w + k] = static_cast<std::uint8_t>(words[w] >> (8 * k));
    }
    for (std::size_t i = 0; i < tmpl.size() && 16 + i < size; ++i) bytes[16 + i] = static_cast<std::uint8_t>(tmpl[i]);
    return bytes;
}

TEST(DeviceConnection, OpenDumpAndCloseDevOnePrintsTheExactLines) {
    sim::SimSettings s = cards({0, 1});
    sim::CardSettings& card = s.cards[1];
    card.version = 0x01080000;
    card.hardware[0] = 0x12345678;
    card.hardware[1] = 0x9ABCDEF0;
    card.slot = 7;
    std::vector<std::uint8_t> general(256);
    for (std::size_t i = 0; i < general.size(); ++i) general[i] = static_cast<std::uint8_t>(255 - i);
    card.info[0] = general;
    card.info[9] = categoryNine("DSP state %d, load %u%%, errors 0x%08X", 21, 75, 0xBEEF);
    card.info[14] = std::vector<std::uint8_t>(17, 0xE1);

    const auto run = runConsoleScript(
        "select 1027 \"Dev1\"\n"
        "click \"1 OpenDev\"\n"
        "print 1010\nprint 1018\n"
        "select 1033 0\nclick \"3 DevInf\"\n"
        "select 1033 \"9 DSP Debug Inf\"\nclick \"3 DevInf\"\n"
        "select 1033 14\nclick 1004\n"
        "click \"2 CloseDev\"\nprint 1010\n",
        s);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> want{"OPEN 102", "CLEAR", "LINE Open Dev KSVECWDM1 OK !!! Slot ID:7",
                                  "TEXT 1010 Open Dev1", "TEXT 1018 W01080000 H12345678 D9ABCDEF0", "CLEAR",
                                  "LINE DevInf: 0 Genneral Inf=0 Length=256 RCount=256"};
    for (auto& r : dumpRows(general)) want.push_back(r);
    want.push_back("CLEAR");
    want.push_back("LINE DevInf: 9 DSP Debug Inf=9 Length=256 RCount=256");
    for (auto& r : dumpRows(card.info[9])) want.push_back(r);
    want.push_back("LINE DSP state 21, load 75%, errors 0x0000BEEF");
    want.push_back("CLEAR");
    want.push_back("LINE DevInf: E Driver DSP Cmd List=e Length=256 RCount=17");
    want.push_back("LINE 0x0000 E1 E1 E1 E1 E1 E1 E1 E1 E1 E1 E1 E1 E1 E1 E1 E1 ");
    want.push_back("LINE 0x0010 E1 ");
    want.push_back("LINE Close device finished OK !!!");
    want.push_back("TEXT 1010 Close Dev");
    want.push_back("CLOSE 102 2");
    EXPECT_THAT(run.out, ElementsAreArray(want));
}

TEST(DeviceConnection, VersionBoundaryIsInclusive) {
    sim::SimSettings s = cards({0, 1});
    s.cards[0].version = 0x01070604;
    s.cards[1].version = 0x01070605;
    const auto run = runConsoleScript(
        "click \"1 OpenDev\"\nprint 1018\nprint 1010\nstate 1000\nstate 1002\n"
        "select 1027 1\nclick \"1 OpenDev\"\nstate 1000\n",
        s);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out,
                ElementsAre("OPEN 102", "CLEAR",
                            "MSG Driver is too old, please use the driver newer than version 0x01070605!",
                            // The full close sequence runs; no line of the refused open stays.
                            "LINE Close device finished OK !!!",
                            "TEXT 1018 W01070604 H00020801 D20260101", "TEXT 1010 Close Dev",
                            "STATE 1000 enabled=1 visible=1 checked=0 selection=-1 items=0",
                            "STATE 1002 enabled=0 visible=1 checked=0 selection=-1 items=0", "CLEAR",
                            ::testing::StartsWith("LINE Open Dev KSVECWDM1 OK !!! Slot ID:"),
                            "STATE 1000 enabled=0 visible=1 checked=0 selection=-1 items=0", "CLOSE 102 2"));
}

TEST(DeviceConnection, RefusedMappingKeepsTheDeviceOpen) {
    sim::SimSettings s = cards({0});
    s.cards[0].faults.refuseMapping = true;
    const auto run = runConsoleScript("click \"1 OpenDev\"\nstate 1002\nclick \"3 DevInf\"\n", s);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    ASSERT_GE(run.out.size(), 6u);
    EXPECT_THAT(run.out[2], HasSubstr("LINE Open Dev KSVECWDM0 OK !!!"));
    EXPECT_EQ(run.out[3], "MSG Address mapping failed, cann't recv data!");
    EXPECT_EQ(run.out[4], "STATE 1002 enabled=1 visible=1 checked=0 selection=-1 items=0");
    EXPECT_EQ(run.out[5], "CLEAR");  // the dump still works
}

TEST(DeviceConnection, MissingDeviceAndDevThirtyOne) {
    const auto run = runConsoleScript(
        "click \"1 OpenDev\"\nselect 1027 5\nclick \"1 OpenDev\"\nselect 1027 \"Dev31\"\nclick \"1 OpenDev\"\n"
        "print 1010\n",
        cards({0, 31}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, ElementsAre("OPEN 102", "CLEAR", ::testing::StartsWith("LINE Open Dev KSVECWDM0 OK"),
                                     // Dev0 is open: the button is disabled now.
                                     "IGNORED 1000", "IGNORED 1000", "TEXT 1010 Open Dev0", "CLOSE 102 2"));
    const auto missing = runConsoleScript("select 1027 5\nclick \"1 OpenDev\"\nprint list\n", cards({0}));
    EXPECT_THAT(missing.out, ElementsAre("OPEN 102", "MSG Cann't open device KS-VECWDM !", "CLOSE 102 2"));
    const auto last = runConsoleScript("select 1027 \"Dev31\"\nclick \"1 OpenDev\"\n", cards({31}));
    ASSERT_GE(last.out.size(), 3u);
    EXPECT_THAT(last.out[2], ::testing::StartsWith("LINE Open Dev KSVECWDM31 OK !!! Slot ID:"));
}

TEST(DeviceConnection, NothingOpenCloseIsSilentAndDumpRefuses) {
    const auto run = runConsoleScript("click \"2 CloseDev\"\nclick 1004\n", cards({0}));
    EXPECT_THAT(run.out, ElementsAre("OPEN 102", "MSG Device is not open, failed!", "CLOSE 102 2"));
}

TEST(DeviceConnection, CategoryNineHostileTemplates) {
    struct Case {
        std::string tmpl;
        std::string line;
    };
    const std::vector<Case> cases{
        {"%s%s%s%n", "%s%s%s%n"},
        {"x=%99999d", "x=" + std::string(255, ' ') + "1"},
        {"%d %d %d %d %x", "1 2 3 %d %x"},
    };
    for (const Case& c : cases) {
        sim::SimSettings s = cards({0});
        s.cards[0].info[9] = categoryNine(c.tmpl, 1, 2, 3);
        const auto run = runConsoleScript("click 1000\nselect 1033 9\nclick 1004\n", s);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        ASSERT_FALSE(run.out.empty());
        EXPECT_EQ(run.out[run.out.size() - 2], "LINE " + c.line) << c.tmpl;
    }
    // No NUL anywhere in the answer: the template runs to the end of the 256 bytes and no further.
    sim::SimSettings s = cards({0});
    s.cards[0].info[9] = categoryNine(std::string(240, 'A'), 1, 2, 3);
    const auto run = runConsoleScript("click 1000\nselect 1033 9\nclick 1004\n", s);
    ASSERT_GE(run.out.size(), 2u);
    EXPECT_EQ(run.out[run.out.size() - 2], "LINE " + std::string(240, 'A'));
    // A short answer: the rest of the buffer is zeros, so the template ends there.
    s.cards[0].info[9] = categoryNine("short %u", 42, 0, 0, 24);
    const auto shortRun = runConsoleScript("click 1000\nselect 1033 9\nclick 1004\n", s);
    EXPECT_EQ(shortRun.out[shortRun.out.size() - 2], "LINE short 42");
}

TEST(DeviceConnection, EmptyAnswerStillClearsAndWritesTheHeader) {
    sim::SimSettings s = cards({0});
    s.cards[0].info[3] = {};
    const auto run = runConsoleScript("click 1000\nselect 1033 3\nclick 1004\n", s);
    EXPECT_THAT(run.out, ElementsAre("OPEN 102", "CLEAR", ::testing::StartsWith("LINE Open Dev"), "CLEAR",
                                     "LINE DevInf: 3 Master Channel Inf=3 Length=256 RCount=0", "CLOSE 102 2"));
}

TEST(DeviceConnection, FailedIdentityRequestsReadAsZerosAndRefuse) {
    sim::SimSettings s = cards({0});
    s.cards[0].faults.failingCodes = {0x222404, 0x222440};
    const auto run = runConsoleScript("click 1000\nprint 1018\n", s);
    EXPECT_THAT(run.out,
                ElementsAre("OPEN 102", "CLEAR",
                            "MSG Driver is too old, please use the driver newer than version 0x01070605!",
                            "LINE Close device finished OK !!!", "TEXT 1018 W00000000 H00000000 D00000000",
                            "CLOSE 102 2"));
}

TEST(ConsoleWindow, ExitRunsTheCloseSequenceEscDoesNot) {
    const auto exitRun = runConsoleScript("click 1000\nclick \"18 Exit\"\nprint list\n", cards({0}));
    // After Exit the window is gone: the rest of the script has nothing to drive.
    EXPECT_THAT(exitRun.out, ElementsAre("OPEN 102", "CLEAR", ::testing::StartsWith("LINE Open Dev"),
                                         "LINE Close device finished OK !!!", "CLOSE 102 1"));
    const auto escRun = runConsoleScript("click 1000\n", cards({0}));
    EXPECT_THAT(escRun.out, ElementsAre("OPEN 102", "CLEAR", ::testing::StartsWith("LINE Open Dev"), "CLOSE 102 2"));
}

TEST(ConsoleWindow, InitialStateAndLabels) {
    const auto run = runConsoleScript(
        "state 1012\nstate 1027\nstate 1033\nstate 1042\nstate 1073\nstate 1035\nstate 1022\nstate 1013\n"
        "print 1014\nprint 1005\nprint 1023\nprint 1032\nprint labels\n",
        cards({0}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out,
                ElementsAre(
                    "OPEN 102", "STATE 1012 enabled=0 visible=0 checked=0 selection=1 items=7",
                    "STATE 1027 enabled=1 visible=1 checked=0 selection=0 items=32",
                    "STATE 1033 enabled=1 visible=1 checked=0 selection=0 items=15",
                    "STATE 1042 enabled=1 visible=1 checked=0 selection=0 items=8",
                    "STATE 1073 enabled=1 visible=1 checked=1 selection=-1 items=0",
                    "STATE 1035 enabled=1 visible=1 checked=0 selection=-1 items=0",
                    "STATE 1022 enabled=0 visible=1 checked=0 selection=-1 items=0",
                    "STATE 1013 enabled=1 visible=0 checked=0 selection=-1 items=0",
                    "TEXT 1014 0x0041FFF0 HSR\\r\\n0x0041FFF4 HDCR\\r\\n0x0041FFF8 DSPP\\t\\t\\r\\n0x00400000 "
                    "RSTSRC\\r\\n0x00400008 PCIIS\\r\\n0x0040000C PCIIEN\\t\\t\\r\\n0x00400010 DSPMA \\r\\n0x00400014 "
                    "PCIMA\\r\\n0x00400018 PCIMC\\t\\t\\r\\n0x0040001C CDSPA \\r\\n0x00400020 CPCIA\\r\\n0x00400024 CCNT",
                    "TEXT 1005 0x00000000", "TEXT 1023 0x80", "TEXT 1032 0x00", "TEXT 1010 Static",
                    "TEXT 1011 Static", "TEXT 1016 Static", "TEXT 1017 Static", "TEXT 1018 Static",
                    "TEXT 1019 Chan1", "TEXT 1026 Chan2", "TEXT 1028 File:", "TEXT 1039 Chan3", "TEXT 1040 Chan4",
                    "TEXT 1066 Email:", "TEXT 1067 Address Type", "TEXT 1068 Address(HEX)",
                    "TEXT 1069 Length(HEX)", "TEXT 1070 Data to write(8B/Line, most 64 lines)",
                    "TEXT 1071 DBFuncNum", "TEXT 1072 FileName", "CLOSE 102 2"));
}

TEST(ScriptHost, ErrorsStopTheScriptWithStatusTwo) {
    const auto unknown = runConsoleScript("click 1000\nclick 4242\nclick 1002\n", cards({0}));
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(unknown.err, "ERROR 2: no control '4242' in dialog 102\n");
    // The line after the error never ran: no close line.
    EXPECT_THAT(unknown.out, ElementsAre("OPEN 102", "CLEAR", ::testing::StartsWith("LINE Open Dev"), "CLOSE 102 2"));
    // A line of the wrong form refuses the whole script: the console does not even open.
    const auto refused = runConsoleScript("click 1000\nfrobnicate\n", cards({0}));
    EXPECT_EQ(refused.err, "ERROR 2: unknown command 'frobnicate'\n");
    EXPECT_THAT(refused.out, ::testing::IsEmpty());
    // Ids past 16 bits once wrapped onto OK; an empty name once toggled a box.
    for (const char* bad : {"click \"No Such Button\"\n", "click 4242\n", "select 1027 32\n", "select 1027 \"Dev99\"\n",
                            "wait soon\n", "settext 1014 unquoted\n", "print\n", "answer maybe\n",
                            "click 4294967297\n", "click -1\n", "click \"\"\n", "wait 9223372036854775807\n",
                            "wait 86400001\n"}) {
        const auto run = runConsoleScript(bad, cards({0}));
        EXPECT_EQ(run.exitCode, 2) << bad;
        EXPECT_THAT(run.err, ::testing::StartsWith("ERROR 1: ")) << bad;
    }
}

}  // namespace
}  // namespace pemblor::device
