// pemblorctl selftest as an operator runs it: bad input ends in one line and
// status 2 before any test runs; a run writes its table as JSON to standard
// output (the table itself then goes to standard error) and as JUnit XML;
// Ctrl-C leaves the card closed and the partial table printed and written.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "support/run_command.hpp"
#include "support/temp_dir.hpp"

namespace pemblor::cli {
namespace {

using ::testing::HasSubstr;
using testing::runCommand;

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

struct SelfTestCommand : ::testing::Test {
    pemblor::testing::TempDir dir;
    std::string ctl(const std::string& args, const std::string& cardSettings = "") {
        std::ofstream(dir / "cards.ini") << "[card 0]\n" << cardSettings << "\n";
        return std::string(PEMBLORCTL_PATH) + " --root " + (dir / "root").string() + " --cards 0 --sim-config " +
               (dir / "cards.ini").string() + " selftest " + args + " 2>" + (dir / "err").string();
    }
    std::string err() { return readFile(dir / "err"); }
};

TEST_F(SelfTestCommand, BadInputIsOneLineAndStatus2) {
    std::ofstream(dir / "text.IMG") << "not a program at all, just some text";
    const struct {
        std::string args;
        const char* settings;
        std::string line;
    } cases[] = {
        {"--device 40", "", "pemblorctl: --device: 40 is not a device number (0 to 31)"},
        {"--device 5", "", "pemblorctl: \\\\.\\KSVECWDM5: no such device"},
        {"", "fail = 0x222404 0x222440",
         "pemblorctl: \\\\.\\KSVECWDM0: opens, but does not answer as the card's driver"},
        {"--program " + (dir / "text.IMG").string(), "",
         "pemblorctl: " + (dir / "text.IMG").string() + ": not a DSP program image"},
        {"--json /nonexistent-folder/t.json", "", "pemblorctl: /nonexistent-folder/t.json: No such file or directory"},
        {"--json - --junit -", "", "pemblorctl: --json, --junit: only one of them can be - (standard output)"},
        {"--seconds 0", "", "pemblorctl: --seconds: '0' is not a number of seconds from 0 to 3600"},
        {"--seconds \"$(printf 'a\\tb')\"", "", "pemblorctl: --seconds: 'a\\x09b' is not a number of seconds"},
    };
    for (const auto& c : cases) {
        const auto r = runCommand(ctl(c.args, c.settings));
        const std::string message = err();
        EXPECT_EQ(r.status, 2) << c.args;
        EXPECT_EQ(r.out, "") << c.args;
        EXPECT_THAT(message, ::testing::StartsWith(c.line)) << c.args;
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "root" / "selftest" / "EVDATA0000.264")) << "no test ran";
}

TEST_F(SelfTestCommand, JsonOnStandardOutputTableOnStandardErrorJUnitInAFile) {
    const auto r = runCommand(ctl("--quick --seconds 1 --json - --junit " + (dir / "t.xml").string()));
    ASSERT_EQ(r.status, 0) << err();
    const nlohmann::json doc = nlohmann::json::parse(r.out);
    EXPECT_EQ(doc["result"], "pass");
    EXPECT_EQ(doc["summary"]["failed"], 0);
    EXPECT_EQ(doc["summary"]["skipped"], 2);  // the memory test of a quick run
    EXPECT_THAT(err(), HasSubstr("stream.decode.Chan1      PASS"));
    EXPECT_THAT(err(), HasSubstr("42 checks on \\\\.\\KSVECWDM0: 40 passed, 0 failed, 2 skipped"));
    pugi::xml_document junit;
    ASSERT_TRUE(junit.load_file((dir / "t.xml").c_str()));
    EXPECT_EQ(junit.child("testsuites").attribute("tests").as_int(), 42);
    // The recordings went to a folder of their own.
    EXPECT_GT(std::filesystem::file_size(dir / "root" / "selftest" / "EVDATA0000.264"), 128u);
}

TEST_F(SelfTestCommand, CtrlCLeavesTheCardClosedAndThePartialTableWritten) {
    const std::string run = ctl("--seconds 30 --json " + (dir / "t.json").string(), "dsp = running");
    const auto r = runCommand("sh -c '" + run + " & p=$!; sleep 2; kill -INT $p; wait $p'");
    EXPECT_EQ(r.status, 2);
    EXPECT_THAT(r.out, HasSubstr("close.answers            PASS"));
    EXPECT_THAT(r.out, HasSubstr(": INTERRUPTED"));
    EXPECT_EQ(err(), "pemblorctl: selftest: interrupted; the card is closed\n");
    const nlohmann::json doc = nlohmann::json::parse(readFile(dir / "t.json"));
    EXPECT_EQ(doc["result"], "interrupted");
    EXPECT_EQ(doc["exit_status"], 2);
    EXPECT_EQ(doc["checks"].back()["name"], "close.answers");
    // The reception stopped with its files finished, and no temporary file is left.
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        EXPECT_THAT(entry.path().filename().string(), ::testing::Not(HasSubstr(".tmp"))) << entry.path();
}

}  // namespace
}  // namespace pemblor::cli
