// The manual pages and the bash completion against the programs' own --help:
// every command and option the help lists is in the page, in its command's
// section, and the completion offers them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <sstream>

#include "support/run_command.hpp"
#include "support/temp_dir.hpp"

namespace pemblor::cli {
namespace {

using testing::runCommand;

// What a command's --help lists, read with nothing but its layout: tables
// under "Name:" headings, an entry per line indented by two blanks.
struct Help {
    std::vector<std::string> path;  // empty for the program itself
    std::vector<std::string> options;
    std::vector<Help> subcommands;
};

Help readHelp(const std::string& program, std::vector<std::string> path = {}) {
    std::string command = program;
    for (const std::string& word : path) command += " " + word;
    const auto help = runCommand("DISPLAY= " + command + " --help");
    EXPECT_EQ(help.status, 0) << command;
    Help h{path, {}, {}};
    std::istringstream lines(help.out);
    std::string line, section;
    while (std::getline(lines, line)) {
        if (!line.empty() && line[0] != ' ' && line.back() == ':') section = line;
        if (line.size() < 3 || line.compare(0, 2, "  ") != 0 || line[2] == ' ') continue;
        const std::string head = line.substr(2, line.find(' ', 2) - 2);
        if (section == "Subcommands:") {
            std::vector<std::string> sub = path;
            sub.push_back(head);
            h.subcommands.push_back(readHelp(program, sub));
        } else if (head[0] == '-') {
            std::istringstream names(head);
            for (std::string name; std::getline(names, name, ',');) h.options.push_back(name);
        }
    }
    return h;
}

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The page's text with troff's escapes taken out, cut at each heading:
// heading line -> what follows it up to the next heading.
std::map<std::string, std::string> pageSections(std::string page) {
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {R"(\\f[BIRP])", ""}, {R"(\\[%&])", ""}, {R"(\\-)", "-"}, {R"(\\ )", " "}}) {
        page = std::regex_replace(page, std::regex(from), to);
    }
    std::map<std::string, std::string> sections;
    std::string* current = nullptr;
    std::istringstream lines(page);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(".SH ", 0) == 0 || line.rfind(".SS ", 0) == 0) {
            current = &sections[line];
        } else if (current) {
            *current += line + "\n";
        }
    }
    return sections;
}

void expectInPage(const Help& help, const std::map<std::string, std::string>& sections, const std::string& page) {
    std::string heading = ".SH OPTIONS";
    if (!help.path.empty()) {
        std::string title;
        for (const std::string& word : help.path) title += (title.empty() ? "" : " ") + word;
        heading = ".SS \"" + title + "\"";
    }
    const auto section = sections.find(heading);
    ASSERT_NE(section, sections.end()) << page << ": no section " << heading;
    for (const std::string& option : help.options) {
        // Every command takes --help; the page says so once, with the program's options.
        if (!help.path.empty() && (option == "-h" || option == "--help")) continue;
        EXPECT_THAT(section->second, ::testing::ContainsRegex("(^|[^-a-z])" + option + "([^-a-z]|$)"))
            << page << ", " << heading << ": " << option;
    }
    for (const Help& sub : help.subcommands) expectInPage(sub, sections, page);
}

TEST(HelpPages, ManualPagesHoldEveryCommandAndOptionOfTheHelp) {
    std::vector<std::string> programs = {PEMBLORCTL_PATH};
#ifdef PEMBLOR_PATH
    programs.push_back(PEMBLOR_PATH);
#endif
    for (const std::string& program : programs) {
        const std::string name = std::filesystem::path(program).filename();
        const std::filesystem::path page = std::filesystem::path(PEMBLOR_PACKAGING_DIR) / (name + ".1");
        const std::string text = readFile(page);
        EXPECT_THAT(text, ::testing::HasSubstr("\"pemblor " PEMBLOR_VERSION "\"")) << page;
        const Help help = readHelp(program);
        EXPECT_THAT(help.options, ::testing::Contains("--version")) << name;
        expectInPage(help, pageSections(text), page);
    }
}

// One completion a line: the words typed, a tab, what bash offers (sorted
// bytewise), after the line that shows how pemblorctl is completed.
std::map<std::string, std::string> complete(const std::filesystem::path& dir, const std::vector<std::string>& lines) {
    std::ofstream script(dir / "complete.sh");
    script << "source /usr/share/bash-completion/bash_completion\n"
           << "source " << PEMBLOR_PACKAGING_DIR << "/pemblorctl.bash\n"
           << "compopt() { :; }  # only a completion started by bash may set its options\n"
           << "complete -p pemblorctl\n"
           << "comp() {\n"
           << "  COMP_LINE=$1; COMP_POINT=${#1}; read -ra COMP_WORDS <<< \"$1\"\n"
           << "  [[ $1 == *' ' ]] && COMP_WORDS+=('')\n"
           << "  COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=()\n"
           << "  _pemblorctl pemblorctl \"${COMP_WORDS[COMP_CWORD]}\" \"${COMP_WORDS[COMP_CWORD-1]}\"\n"
           << "  printf '%s\\t%s\\n' \"$1\" \"$(printf '%s\\n' \"${COMPREPLY[@]}\" | LC_ALL=C sort | xargs)\"\n"
           << "}\n";
    for (const std::string& line : lines) script << "comp '" << line << "'\n";
    script.close();
    const auto r = runCommand("cd " + dir.string() + " && bash complete.sh 2>&1");
    EXPECT_EQ(r.status, 0) << r.out;
    std::map<std::string, std::string> offered;
    std::istringstream out(r.out);
    for (std::string line; std::getline(out, line);) {
        const auto tab = line.find('\t');
        offered[line.substr(0, tab)] = tab == std::string::npos ? "" : line.substr(tab + 1);
    }
    return offered;
}

std::string joinedSorted(std::vector<std::string> words) {
    std::sort(words.begin(), words.end());
    std::string out;
    for (const std::string& w : words) out += (out.empty() ? "" : " ") + w;
    return out;
}

TEST(HelpPages, CompletionOffersCommandsOptionsDevicesAndFilesByKind) {
    if (!std::filesystem::exists("/usr/share/bash-completion/bash_completion"))
        GTEST_SKIP() << "bash-completion is not installed";
    pemblor::testing::TempDir dir;
    std::filesystem::create_directory(dir / "sub");
    for (const char* name : {"a.ini", "B.INI", "prog.out", "x.IMG", "y.img", "z.264", "w.mp4", "v.mkv", "notes.txt"})
        std::ofstream(dir / name) << "";

    const Help help = readHelp(PEMBLORCTL_PATH);
    std::vector<std::string> commands;
    for (const Help& sub : help.subcommands) commands.push_back(sub.path.back());
    const auto sub = [&](const std::string& name) {
        return *std::find_if(help.subcommands.begin(), help.subcommands.end(),
                             [&](const Help& h) { return h.path.back() == name; });
    };
    std::vector<std::string> recording, reportLong;
    for (const Help& h : sub("recording").subcommands) recording.push_back(h.path.back());
    for (const std::string& o : sub("report").options) {
        if (o.rfind("--", 0) == 0) reportLong.push_back(o);
    }
    std::vector<std::string> devices, cards;
    for (int n = 0; n < 32; ++n) {
        devices.push_back(std::to_string(n));
        cards.push_back("0,1," + std::to_string(n));
    }

    const std::vector<std::pair<std::string, std::string>> cases = {
        {"pemblorctl ", joinedSorted(commands)},
        {"pemblorctl recording ", joinedSorted(recording)},
        {"pemblorctl report --", joinedSorted(reportLong)},
        {"pemblorctl report --device ", joinedSorted(devices)},
        {"pemblorctl --cards 0,1,", joinedSorted(cards)},
        {"pemblorctl --sim-config ", "B.INI a.ini sub"},
        {"pemblorctl --sim-config=", "B.INI a.ini sub"},
        {"pemblorctl --root ", "sub"},
        {"pemblorctl convert ", "prog.out sub"},
        {"pemblorctl --cards 1 image ", "sub x.IMG y.img"},
        {"pemblorctl image x.IMG --dump ", "sub"},
        {"pemblorctl recording info z.264 ", "sub z.264"},
        {"pemblorctl recording export z.264 ", "sub v.mkv w.mp4"},
        {"pemblorctl recording export z.264 w.mp4 ", ""},
        {"pemblorctl deinterlace --planes ", "422 luma"},
    };
    std::vector<std::string> lines;
    for (const auto& [line, expected] : cases) lines.push_back(line);
    const auto offered = complete(dir.path(), lines);
    EXPECT_EQ(offered.count("complete -F _pemblorctl pemblorctl"), 1u);
    for (const auto& [line, expected] : cases) {
        const auto found = offered.find(line);
        ASSERT_NE(found, offered.end()) << line;
        EXPECT_EQ(found->second, expected) << line;
    }
}

}  // namespace
}  // namespace pemblor::cli
