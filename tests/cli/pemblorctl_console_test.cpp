// pemblorctl as an operator runs it: global options, settings files, the
// script console and the device listing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/run_command.hpp"

namespace pemblor::cli {
namespace {

using ::testing::HasSubstr;
using testing::runCommand;

class PemblorctlTest : public ::testing::Test {
protected:
    std::filesystem::path dir;
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("pemblorctl_test_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::string write(const std::string& name, const std::string& text) {
        std::ofstream(dir / name) << text;
        return (dir / name).string();
    }
    std::string ctl(const std::string& args) {
        return std::string(PEMBLORCTL_PATH) + " --root " + (dir / "root").string() + " " + args;
    }
};

TEST_F(PemblorctlTest, SettingsFileShapesTheCards) {
    const std::string ini = write("cards.ini",
                                  "[card 31]\nversion = 0x01070605\nslot = 17\n"
                                  "info.E = 000102030405060708090A0B0C0D0E0F10\n[card 0]\npresent = no\n");
    const std::string script = write("s.txt",
                                     "click 1000\nselect 1027 \"Dev31\"\nclick 1000\nselect 1033 14\nclick 1004\n");
    const auto r = runCommand(ctl("--sim-config " + ini + " console --script " + script + " 2>&1"));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out,
              "OPEN 102\n"
              "MSG Cann't open device KS-VECWDM !\n"
              "CLEAR\n"
              "LINE Open Dev KSVECWDM31 OK !!! Slot ID:17\n"
              "CLEAR\n"
              "LINE DevInf: E Driver DSP Cmd List=e Length=256 RCount=17\n"
              "LINE 0x0000 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F \n"
              "LINE 0x0010 10 \n"
              "CLOSE 102 2\n");
}

TEST_F(PemblorctlTest, BadSettingsAndCardListsAreRefusedWithWhereAndWhy) {
    const std::string ini = write("bad.ini", "[card 1]\nverison = 1\n");
    const auto bad = runCommand(ctl("--sim-config " + ini + " list 2>&1"));
    EXPECT_EQ(bad.status, 2);
    EXPECT_THAT(bad.out, HasSubstr(ini + ":2: unknown key 'verison'"));
    const auto cards = runCommand(ctl("--cards 0,40 list 2>&1"));
    EXPECT_EQ(cards.status, 2);
    // With a sim report asked for, the refusal is still said once, and no report is written.
    const std::string report = (dir / "sim.json").string();
    const auto reported = runCommand(ctl("--sim-report " + report + " --sim-config " + ini + " list 2>&1"));
    EXPECT_EQ(reported.status, 2);
    EXPECT_EQ(reported.out, "pemblorctl: " + ini + ":2: unknown key 'verison'\n");
    EXPECT_FALSE(std::filesystem::exists(report));
}

TEST_F(PemblorctlTest, ScriptFromStandardInputAndScriptErrors) {
    const auto ok = runCommand("printf 'click 1000\\nclick 1002\\n' | " + ctl("--cards 1 console --script -"));
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out, "OPEN 102\nMSG Cann't open device KS-VECWDM !\nCLOSE 102 2\n");
    const auto err = runCommand("printf 'click 1000\\nclick nothing\\n' | " + ctl("console --script - 2>&1"));
    EXPECT_EQ(err.status, 2);
    EXPECT_THAT(err.out, HasSubstr("pemblorctl: standard input:2: no control 'nothing' in dialog 102\n"));
}

// `make run` without a display: the demo script on the cards of scripts/run-cards.ini.
// Dev0 answers its identity, Dev1 (in service) receives on all four channels.
TEST_F(PemblorctlTest, HeadlessDemoOfMakeRunWalksBothCards) {
    const std::string src = PEMBLOR_SOURCE_DIR;
    const auto r = runCommand(ctl("--sim-config " + src + "/scripts/run-cards.ini console --script " + src +
                                  "/scripts/demo.txt 2>&1"));
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_THAT(r.out, ::testing::Not(HasSubstr("ERROR")));
    EXPECT_THAT(r.out, HasSubstr("LINE Open Dev KSVECWDM0 OK !!! Slot ID:3\nTEXT 1018 W01070605 H00020801 D20260101\n"));
    EXPECT_THAT(r.out, HasSubstr("LINE DSP state 0, load 0%, errors 0x00000000\n"));
    EXPECT_THAT(r.out, HasSubstr("LINE Open Dev KSVECWDM1 OK !!! Slot ID:4\n"));
    for (const char* line : {"TEXT 1019 CH1:FN:", "TEXT 1026 CH2:FN:", "TEXT 1039 CH3:FN:", "TEXT 1040 CH4:FN:"}) {
        const auto at = r.out.find(line);
        ASSERT_NE(at, std::string::npos) << line;
        EXPECT_NE(r.out.substr(at + std::string(line).size(), 4), "0000") << line << ": no block received";
    }
    EXPECT_THAT(r.out, ::testing::EndsWith("LINE Close device finished OK !!!\nCLOSE 102 2\n"));
}

TEST_F(PemblorctlTest, ListShowsEveryCardThatOpens) {
    const auto r = runCommand(ctl("--cards 3,30 list"));
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.out, ::testing::MatchesRegex("Dev3 .*KSVECWDM3 .*serial SIM2026-0003 .*slot 6 simulated\n"
                                               "Dev30 .*KSVECWDM30 .*slot 33 simulated\n"));
    const auto none = runCommand(ctl("--cards '' list"));
    EXPECT_EQ(none.out, "no device found\n");
}

TEST_F(PemblorctlTest, TraceLogsEveryRequestToStandardError) {
    const auto r = runCommand("printf 'click 1000\\n' | " + ctl("--trace --cards 0 console --script - 2>&1 >/dev/null"));
    EXPECT_EQ(r.status, 0);
    EXPECT_THAT(r.out, HasSubstr("trace: open \\\\.\\KSVECWDM0"));
    EXPECT_THAT(r.out, HasSubstr("trace: 0x222404 driver version"));
    EXPECT_THAT(r.out, HasSubstr("trace: 0x22240c map addresses"));
    // The script ends with the device open: shutdown hands the mapping back and closes it.
    EXPECT_THAT(r.out, HasSubstr("trace: 0x222410 unmap addresses"));
    EXPECT_THAT(r.out, HasSubstr("trace: close"));
}

TEST_F(PemblorctlTest, TerminationSignalEndsTheScriptCleanly) {
    // The console waits with a card open; SIGTERM ends the script as its end would:
    // the window is cancelled, the mapping handed back, the handle closed, status 0.
    const std::string script = write("s.txt", "click 1000\nwait 20000\n");
    const auto r = runCommand("(" + ctl("--trace --cards 0 console --script " + script) +
                              " & p=$!; sleep 1; kill -TERM $p; wait $p; echo rc=$?) 2>&1");
    EXPECT_THAT(r.out, HasSubstr("CLOSE 102 2\n"));
    EXPECT_THAT(r.out, HasSubstr("trace: 0x222410 unmap addresses"));
    EXPECT_THAT(r.out, HasSubstr("rc=0\n"));
}

}  // namespace
}  // namespace pemblor::cli
