// pemblorctl as scripts and users of the usual tools expect it: exit status 0,
// 1 or 2, one "pemblorctl: SUBJECT: REASON" line on standard error, results
// on standard output, "-" for the standard streams, global options after the
// command, and --json documents that agree with the text the console shows.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_command.hpp"
#include "support/temp_dir.hpp"

namespace pemblor::cli {
namespace {

using ::testing::HasSubstr;

struct CliCase {
    std::string setup;       // shell lines run first in the case's folder
    std::string args;        // pemblorctl's arguments ("$CTL" stands for the program in setup)
    int status;
    std::string firstError;  // the first line of standard error starts so
    std::string out = {};    // standard output starts so, when given
};

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

std::string slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A COFF header that claims 65535 sections: converted with --force, read as an image.
const std::string kManySections = "printf '\\302\\000\\377\\377' > many.out; head -c 200 /dev/zero >> many.out; "
                                  "$CTL convert --force many.out >/dev/null; ";

TEST(PemblorctlConventions, StatusAndFirstErrorLineOfEveryRoad) {
    const std::string ctl = PEMBLORCTL_PATH;
    const std::string more = " — not an image? A COFF program must be converted first";
    const CliCase cases[] = {
        {"", "lst", 2, "pemblorctl: lst: unknown command; did you mean 'list'?"},
        {"", "frobnicate", 2, "pemblorctl: frobnicate: unknown command (see pemblorctl --help)"},
        {"", "--bogus list", 2, "pemblorctl: The following argument was not expected: --bogus"},
        {"", "report --device 40", 2, "pemblorctl: --device: Value 40 not in range 0 to 31"},
        {"", "", 2, "pemblorctl: A subcommand is required"},
        {"", "image", 2, "pemblorctl: IN is required"},
        {"", "list --cards 3", 0, "", "Dev3 "},
        {"", "list --help", 0, "", "List the device numbers"},
        {"printf '[card 1]\\nverison = 1\\n' > c.ini; ", "list --sim-config c.ini", 2,
         "pemblorctl: c.ini:2: unknown key 'verison'"},
        {"printf '[card 0]\\nversion = 0x01000000\\n' > c.ini; ", "report --cards 0 --sim-config c.ini", 1,
         "Driver is too old"},
        {"", "console --script none.txt", 2, "pemblorctl: none.txt: No such file or directory"},
        {"printf 'hello\\n' > t.out; ", "convert t.out", 1,
         "pemblorctl: t.out: not a COFF executable the card's loader takes (121: more than 1024 section headers" +
             more + "); --force converts it anyway"},
        {"printf 'hello\\n' > t.out; ", "convert --force t.out", 0, "", "t.IMG"},
        {"", "convert gone.out", 1, "pemblorctl: gone.out: No such file or directory"},
        {"", "convert prog.bin", 1, "pemblorctl: prog.bin: not a COFF executable (the name must end in .out)"},
        {"", "image gone.IMG", 1, "pemblorctl: gone.IMG: 90: No such file or directory", "result 90"},
        {kManySections, "image many.IMG", 1, "pemblorctl: many.IMG: 121: more than 1024 section headers" + more,
         "result 121"},
        {kManySections, "image many.IMG --decode -", 1, "pemblorctl: many.IMG: 121:", "result 121\n\302\000\377\377"},
        {"head -c 1000 /dev/zero > x.yuv; ", "deinterlace x.yuv o.yuv", 1,
         "pemblorctl: x.yuv: 1000 bytes are no whole number of 704 x 576 luma pictures"},
        {"", "deinterlace gone.yuv o.yuv", 1, "pemblorctl: deinterlace: gone.yuv: No such file or directory"},
        {"", "deinterlace - - --width 16 --height 16 < /dev/null", 0, "deinterlaced 0 pictures of 16 x 16", ""},
    };
    for (const CliCase& c : cases) {
        SCOPED_TRACE(c.args);
        testing::TempDir dir;
        std::string setup = c.setup;
        for (std::size_t at; (at = setup.find("$CTL")) != std::string::npos;) setup.replace(at, 4, ctl);
        const auto r = testing::runCommand("cd " + dir.path().string() + " && " + setup + ctl + " --root root " +
                                           c.args + " 2>err.txt");
        EXPECT_EQ(r.status, c.status) << slurp(dir / "err.txt");
        EXPECT_EQ(firstLine(slurp(dir / "err.txt")).substr(0, c.firstError.size()), c.firstError);
        EXPECT_EQ(r.out.substr(0, c.out.size()), c.out);
    }
}

TEST(PemblorctlConventions, PicturesThroughStandardStreamsMatchTheFileRoad) {
    testing::TempDir dir;
    const std::string ctl = std::string(PEMBLORCTL_PATH) + " --root root ";
    const std::string cd = "cd " + dir.path().string() + " && ";
    testing::runCommand(cd + "head -c 1622016 /dev/urandom > ORGVIDEO01.YUV");
    // The card's own original-video file is taken as whole 4:2:2 pictures.
    const auto file = testing::runCommand(cd + ctl + "deinterlace ORGVIDEO01.YUV o.yuv");
    EXPECT_EQ(file.status, 0);
    EXPECT_THAT(file.out, HasSubstr("deinterlaced 2 pictures of 704 x 576 (422,"));
    const auto piped = testing::runCommand(cd + "cat ORGVIDEO01.YUV | " + ctl + "deinterlace - - --planes 422 2>/dev/null");
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out, slurp(dir / "o.yuv"));
}

TEST(PemblorctlConventions, JsonDocumentsAgreeWithTheTextTheyStandFor) {
    testing::TempDir dir;
    const std::string ctl = std::string(PEMBLORCTL_PATH) + " --root " + (dir / "root").string() + " --cards 0,2 ";
    const auto list = nlohmann::json::parse(testing::runCommand(ctl + "list --json").out);
    const auto text = testing::runCommand(ctl + "list").out;
    ASSERT_EQ(list["devices"].size(), 2u);
    std::istringstream lines(text);
    for (const auto& d : list["devices"]) {
        std::string line;
        std::getline(lines, line);
        EXPECT_TRUE(d["simulated"].get<bool>());
        char version[9];
        std::snprintf(version, sizeof version, "%08X", d["version"].get<std::uint32_t>());
        EXPECT_THAT(line, HasSubstr("Dev" + std::to_string(d["device"].get<int>())));
        EXPECT_THAT(line, HasSubstr(std::string("version ") + version));
        EXPECT_THAT(line, HasSubstr("slot " + std::to_string(d["slot"].get<int>()) + " simulated"));
        EXPECT_THAT(line, HasSubstr("serial " + d["serial"].get<std::string>()));
    }

    // The report: the same lines as the text report (the time line aside), its
    // failures named, its time in ISO 8601 with the offset.
    const std::string ini = (dir / "c.ini").string();
    std::ofstream(ini) << "[card 2]\nmap = refuse\n";
    const auto r = testing::runCommand(ctl + "--sim-config " + ini + " report --json 2>/dev/null");
    EXPECT_EQ(r.status, 1);
    const auto report = nlohmann::json::parse(r.out);
    EXPECT_TRUE(std::regex_match(report["time"].get<std::string>(),
                                 std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d[+-]\d\d:\d\d)")));
    ASSERT_EQ(report["failures"].size(), 1u);
    EXPECT_EQ(report["failures"][0]["device"], "Dev2");
    EXPECT_EQ(report["failures"][0]["reason"], "Address mapping failed, cann't recv data!");
    EXPECT_TRUE(report["log_saved"].is_null());
    EXPECT_THAT(report["made_by"].get<std::string>(), ::testing::StartsWith("pemblorctl " PEMBLOR_VERSION));
    const auto plain = testing::runCommand(ctl + "--sim-config " + ini + " report 2>&1 >/dev/null");
    EXPECT_THAT(plain.out, HasSubstr("pemblorctl: report: Dev2: Address mapping failed, cann't recv data!\n"));
    const auto textReport = testing::runCommand(ctl + "--sim-config " + ini + " report 2>/dev/null").out;
    std::vector<std::string> jsonLines;
    for (const auto& l : report["lines"]) {
        const std::string s = l.get<std::string>();
        if (!s.starts_with("Dev ID:")) jsonLines.push_back(s);
    }
    std::vector<std::string> textLines;
    std::istringstream in(textReport);
    for (std::string l; std::getline(in, l);)
        if (!l.starts_with("Dev ID:") && !l.starts_with("0x") && !l.starts_with("Report made by")) textLines.push_back(l);
    std::erase_if(jsonLines, [](const std::string& s) { return s.starts_with("0x"); });
    EXPECT_EQ(jsonLines, textLines);
    EXPECT_GT(textLines.size(), 10u);
}

#ifdef PEMBLOR_PATH
TEST(PemblorctlConventions, DesktopWithoutADisplaySaysSoInOneLine) {
    const auto r = testing::runCommand("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                                       std::string(PEMBLOR_PATH) + " 2>&1");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "pemblor: no display found (DISPLAY and WAYLAND_DISPLAY are not set); "
                     "pemblorctl console --script FILE runs the console without one\n");
}
#endif

}  // namespace
}  // namespace pemblor::cli
