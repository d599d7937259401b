// Reception in the whole console, driven by scripts: every way out of a
// receiving console finishes the files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "capture/recording_header.hpp"
#include "dsp/temp_dir.hpp"
#include "support/console_script.hpp"

namespace pemblor::capture {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::StartsWith;

std::vector<std::uint8_t> readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Every stream file of device 0 starts with a finished header.
void expectFinished(const std::filesystem::path& root, const char* how) {
    for (int slot = 0; slot < 8; ++slot) {
        const auto header = RecordingHeader::parse(readFile(root / ("EVDATA000" + std::to_string(slot) + ".264")));
        ASSERT_TRUE(header) << how << " " << slot;
        EXPECT_TRUE(header->finished()) << how << " " << slot;
    }
    EXPECT_TRUE(std::filesystem::exists(root / "ORGVIDEO00.YUV")) << how;
    EXPECT_TRUE(std::filesystem::exists(root / "DSPDEBUG00.LOG")) << how;
}

TEST(ReceptionConsole, UntickCloseExitAndTheScriptsEndAllFinishTheFiles) {
    struct Way {
        const char* how;
        const char* ending;
        std::vector<std::string> tail;  // the events after the start
    };
    const std::vector<Way> ways{
        {"untick", "click \"RecvData\"\nstate 1035\n",
         {"STATE 1035 enabled=1 visible=1 checked=0 selection=-1 items=0", "CLOSE 102 2"}},
        {"close", "click \"2 CloseDev\"\nstate 1035\n",
         {"LINE Close device finished OK !!!", "STATE 1035 enabled=1 visible=1 checked=0 selection=-1 items=0",
          "CLOSE 102 2"}},
        {"exit", "click \"18 Exit\"\n", {"LINE Close device finished OK !!!", "CLOSE 102 1"}},
        {"end of script", "", {"CLOSE 102 2"}},
    };
    for (const Way& way : ways) {
        dsp::testing::TempDir root;
        const auto run = pemblor::testing::runConsoleScript(
            std::string("click \"1 OpenDev\"\nclick \"SaveFile\"\nclick \"RecvData\"\nstate 1035\nwait 120\n") +
                way.ending,
            sim::SimSettings::withCards({0}), root.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        std::vector<std::string> want{"OPEN 102", "CLEAR", run.out.size() > 2 ? run.out[2] : "",
                                      "STATE 1035 enabled=1 visible=1 checked=1 selection=-1 items=0"};
        want.insert(want.end(), way.tail.begin(), way.tail.end());
        EXPECT_EQ(run.out, want) << way.how;
        expectFinished(root.path(), way.how);
    }
}

TEST(ReceptionConsole, RefusedStartsSayWhy) {
    dsp::testing::TempDir root;
    sim::SimSettings s = sim::SimSettings::withCards({0, 1});
    s.cards[1].refuseMapping = true;
    std::filesystem::create_directory(root.path() / "EVDATA0002.264");
    const auto run = pemblor::testing::runConsoleScript(
        "click \"RecvData\"\nclick \"1 OpenDev\"\nclick \"RecvData\"\nstate 1035\nclick \"2 CloseDev\"\n"
        "select 1027 1\nclick \"1 OpenDev\"\nclick \"RecvData\"\nstate 1035\n",
        s, root.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string unchecked = "STATE 1035 enabled=1 visible=1 checked=0 selection=-1 items=0";
    EXPECT_THAT(run.out, ElementsAre("OPEN 102", "MSG Device is not open, failed!", "CLEAR", StartsWith("LINE Open Dev"),
                                     "MSG " + (root.path() / "EVDATA0002.264").string() + "Open file failed!",
                                     "MSG Open file failed!", unchecked, "LINE Close device finished OK !!!", "CLEAR",
                                     StartsWith("LINE Open Dev KSVECWDM1"),
                                     "MSG Address mapping failed, cann't recv data!",
                                     "MSG Address mapping failed, cann't recv data!", unchecked, "CLOSE 102 2"));
}

}  // namespace
}  // namespace pemblor::capture
