// pemblorctl report: the console's report on standard output, and with --log
// in the log file too.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/temp_dir.hpp"
#include "support/run_command.hpp"

namespace pemblor::cli {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::StartsWith;
using testing::runCommand;

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t p = text.find('\n'); p != std::string::npos; p = text.find('\n', start)) {
        out.push_back(text.substr(start, p - start));
        start = p + 1;
    }
    return out;
}

struct ReportCommand : ::testing::Test {
    pemblor::testing::TempDir dir;
    std::filesystem::path root = dir / "root";
    std::string ctl(const std::string& args) {
        return std::string(PEMBLORCTL_PATH) + " --root " + root.string() + " " + args + " 2>" +
               (dir / "err").string();
    }
    std::string err() { return readFile(dir / "err"); }
};

// The last line of every report names the build, as --version does.
std::string buildLine() {
    const auto version = runCommand(std::string(PEMBLORCTL_PATH) + " --version");
    EXPECT_EQ(version.status, 0);
    const std::string line = version.out.substr(0, version.out.find('\n'));
    EXPECT_THAT(line, MatchesRegex("pemblorctl " PEMBLOR_VERSION R"( \(commit ([0-9a-f]{12}(-dirty)?|unknown)\))"));
    return "Report made by " + line;
}
// Every report of simulated cards ends by saying so.
const std::string kSimulated = "pemblorctl: report: the cards are simulated\n";

TEST_F(ReportCommand, OneDevicePrintsItsReportAndWritesNoLog) {
    const auto r = runCommand(ctl("--cards 0,2 report --device 2"));
    ASSERT_EQ(r.status, 0) << err();
    const auto out = lines(r.out);
    ASSERT_GE(out.size(), 5u);
    EXPECT_EQ(out.back(), buildLine());
    EXPECT_THAT(out[0], MatchesRegex(R"(Dev ID: Dev2 Current Time: [0-9]{4}(\.[0-9]+){2} [0-9]+:[0-9]+:[0-9]+)"));
    EXPECT_EQ(out[1], "Version information: W01070605 H00020801 D20260101");
    // The status lines come from a tick of this card.
    EXPECT_THAT(out[2], MatchesRegex("NormalC: T:[0-9A-F]{4} I:[0-9A-F]{4} S:[0-9A-F]{4} M:[0-9A-F]{4}"));
    EXPECT_THAT(out[3], StartsWith("ErrorC: T:"));
    EXPECT_EQ(out[4], "DevInf: 0 Genneral Inf=0 Length=256 RCount=256");
    EXPECT_EQ(std::count_if(out.begin(), out.end(), [](const std::string& l) { return l.rfind("DevInf: ", 0) == 0; }),
              15);
    EXPECT_EQ(err(), kSimulated);
    EXPECT_FALSE(std::filesystem::exists(root / "Pemblor.LOG"));
}

TEST_F(ReportCommand, AllDevicesWithLogAppendsWhatItPrints) {
    const std::string cmd = ctl("--cards 0,2 --support-email help@example.org report --all --log");
    const auto first = runCommand(cmd);
    ASSERT_EQ(first.status, 0) << err();
    EXPECT_EQ(err(), "Please send file " + (root / "Pemblor.LOG").string() + " to Email: help@example.org\n" + kSimulated);
    auto out = lines(first.out);
    ASSERT_EQ(out.back(), buildLine());
    out.pop_back();  // the log holds the console's lines alone
    EXPECT_THAT(out.front(), StartsWith("Open Dev KSVECWDM0 OK !!! Slot ID:"));
    EXPECT_EQ(out.back(), "Close device finished OK !!!");
    std::string crlf;
    for (const std::string& l : out) crlf += l + "\r\n";
    EXPECT_EQ(readFile(root / "Pemblor.LOG"), crlf);
    // A second run appends.
    ASSERT_EQ(runCommand(cmd).status, 0);
    EXPECT_EQ(std::filesystem::file_size(root / "Pemblor.LOG"), 2 * crlf.size());
}

// A log file that can't be opened: the report is still printed, the reason
// goes to standard error, and the status tells a calling script the log lacks it.
TEST_F(ReportCommand, LogThatCannotBeWrittenFailsTheCommand) {
    std::filesystem::create_directories(root / "Pemblor.LOG");  // a folder where the file should be
    const std::string openFailed = (root / "Pemblor.LOG").string() + "Open file failed!\n";
    for (const std::string args : {"report --device 1 --log", "report --all --log"}) {
        const auto r = runCommand(ctl("--cards 1 " + args));
        EXPECT_EQ(r.status, 1) << args;
        EXPECT_THAT(r.out, HasSubstr("DevInf: E Driver DSP Cmd List=e Length=256 RCount=256\n")) << args;
        EXPECT_THAT(err(), StartsWith(openFailed)) << args;
    }
    // Without --log nothing is saved, so nothing can fail.
    EXPECT_EQ(runCommand(ctl("--cards 1 report --device 1")).status, 0);
}

TEST_F(ReportCommand, MissingDeviceNoCardAndBadArguments) {
    const auto missing = runCommand(ctl("--cards 0 report --device 3"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(err(), "Cann't open device KS-VECWDM !\npemblorctl: report: Dev3: can't be opened\n");

    const auto none = runCommand(ctl("--cards '' report"));
    EXPECT_EQ(none.status, 0);
    EXPECT_EQ(none.out, buildLine() + "\n");
    EXPECT_EQ(err(), "");

    EXPECT_NE(runCommand(ctl("report --device 32")).status, 0);
    EXPECT_NE(runCommand(ctl("report --all --device 1")).status, 0);
}

}  // namespace
}  // namespace pemblor::cli
