// The whole road on a simulated card, through the script console as an
// operator walks it: unlock, set-up refused before a program runs, reset,
// load (one block refused), start, set-up, channels on, record while playing
// and previewing, stop; then every file read back as any video tool would.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include "recording/recording_tools.hpp"
#include "program/coff_files.hpp"
#include "support/temp_dir.hpp"
#include "delivered.hpp"
#include "live_console.hpp"

namespace pemblor::capture {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

std::uintmax_t sizeOf(const std::filesystem::path& p) {
    std::error_code ec;
    const auto n = std::filesystem::file_size(p, ec);
    return ec ? 0 : n;
}

std::string slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(WholeRoad, BootRecordWatchStopAndEveryFileReadsBack) {
    pemblor::testing::TempDir dir;
    namespace coff = program::testing;
    const coff::Bytes program = coff::CoffWriter(coff::CoffLayout::kC1)
                                    .add({.address = 0x400, .flags = program::kSectionCode, .data = coff::pattern(4096, 1)})
                                    .add({.address = 0x50000000, .flags = program::kSectionData, .data = coff::pattern(32, 3)})
                                    .add({.address = 0x80000000, .flags = program::kSectionData, .data = coff::pattern(512, 2)})
                                    .build();
    coff::writeFile(dir / "sample.img", coff::scrambled(program));  // no memory at 0x50000000: refused
    sim::SimSettings settings = sim::SimSettings::withCards({0});
    settings.cards[0].bootMs = 60;
    settings.cards[0].serial = "ROAD-0001";
    testing::LiveConsole console(std::move(settings), dir.path());
    console.send("click \"5 Enable Superior Op\"\nsettext 1064 \"61740253\"\nclick \"Enter\"\n"
                 "click \"1 OpenDev\"\nclick \"10 SetDMA\"\nclick 1047\nclick \"7 ResetDSP\"\nstate 1047\n"
                 "answer file \"" + (dir / "sample.img").string() + "\"\nclick \"8 LoadP\"\n"
                 "click \"9 InterDSP\"\nclick \"10 SetDMA\"\nprint 1018\n"
                 "click 1047\nclick 1048\nclick 1049\nclick 1050\nclick 1051\nclick 1054\n"
                 "click \"SaveFile\"\nclick \"RecvData\"\n");
    const auto stream = [&](int slot) { return dir / ("EVDATA000" + std::to_string(slot) + ".264"); };
    // Until every stream holds a few groups of pictures and the video a few pictures.
    ASSERT_TRUE(testing::LiveConsole::waitFor(
        [&] {
            for (int slot = 0; slot < 8; ++slot) {
                if (sizeOf(stream(slot)) < 128 + (slot < 4 ? 150000u : 60000u)) return false;
            }
            return sizeOf(dir / "ORGVIDEO00.YUV") >= 3 * 811008u;
        },
        std::chrono::seconds(120)));
    // The played sub-stream and the previewed channel reach their windows while recording goes on.
    console.send("select 1042 \"SubChan2\"\nclick \"11 Play\"\nclick \"Start\"\nwait 1500\nframes 1037\nclick \"Close\"\n"
                 "click \"12 Preview\"\nclick \"Start\"\nwait 1500\nframes 1005\nclick \"Close\"\n"
                 "click \"RecvData\"\nwait 1100\nprint 1017\nselect 1033 2\nclick \"3 DevInf\"\n");
    const std::vector<std::string> out = console.finish();
    ASSERT_EQ(console.exitCode(), 0) << console.errors();
    // Every byte the card handed out, and nothing else, by the card's own account.
    EXPECT_EQ(testing::recordedDigests(dir.path()), testing::deliveredDigests(console.transport()));
    ASSERT_GE(out.size(), 19u);
    EXPECT_THAT(std::vector<std::string>(out.begin(), out.begin() + 19),
                ::testing::ElementsAre(
                    "OPEN 102", "OPEN 132", "CLOSE 132 1", "CLEAR", MatchesRegex("LINE Open Dev KSVECWDM0 OK .*"),
                    "MSG Init DSP failed!DSP is not running!", "LINE 复位DSP完成        OK !!!",
                    "STATE 1047 enabled=1 visible=1 checked=0 selection=-1 items=0",
                    "LINE Load sample.img to DSP finished OK!!!", "LINE ERROR!!!!!!", "LINE 发中断到DSP完成    OK !!!",
                    MatchesRegex("LINE DSP starting takes: [0-9]*[02468]0 ms"), "LINE SET_DSP_TIME       OK !!!",
                    "LINE SET_DMA_VADDR      OK !!!", "LINE SET_DMA_OADDR      OK !!!", "LINE SET_DMA_PADDR      OK !!!",
                    "LINE 板卡序列号  : ROAD-0001", "TEXT 1018 W01070605 H00020801 D20260101", "OPEN 130"));
    EXPECT_THAT(out, Contains(MatchesRegex("FRAMES 1037 [1-9][0-9]* 176x144")));
    EXPECT_THAT(out, Contains(MatchesRegex("FRAMES 1005 [1-9][0-9]* [0-9]+x[0-9]+")));
    // Nothing dropped on the card's side (ErrorC's D word); the card took two blocks, 4608 bytes.
    EXPECT_THAT(out, Contains(MatchesRegex("TEXT 1017 T:-?[0-9]+ D:0 S:-?[0-9]+ V:-?[0-9]+")));
    EXPECT_THAT(out, Contains(::testing::StartsWith("LINE 0x0000 15 00 00 00 02 00 00 00 00 12 00 00 07 00 00 00 ")));

    // Every stream file: finished, an H.264 stream from its first block on (a marked block, then
    // an IDR picture), a marked block before each IDR picture, and exported whole.
    for (int slot = 0; slot < 8; ++slot) {
        std::ostringstream info, exported, err;
        ASSERT_EQ(recording::recordingInfo({stream(slot)}, info, err), 0) << err.str();
        std::smatch m;
        const std::string text = info.str();
        ASSERT_TRUE(std::regex_search(text, m, std::regex("access units:  ([0-9]+), IDR pictures: ([0-9]+)")));
        const std::string units = m[1], idr = m[2];
        EXPECT_GT(std::stoi(units), 25) << slot;
        EXPECT_THAT(text, HasSubstr("  finished:      2"));
        EXPECT_THAT(text, HasSubstr("marked blocks: " + idr + " (skipped)\n"));
        EXPECT_THAT(text, HasSubstr(slot < 4 ? ", 352 x 288\n" : ", 176 x 144\n"));
        EXPECT_EQ(slurp(stream(slot)).substr(128, 4), std::string("\x00\x00\x01\xF0", 4)) << slot;
        ASSERT_EQ(recording::exportRecording(stream(slot), dir / ("slot" + std::to_string(slot) + ".mkv"), exported, err), 0);
        EXPECT_THAT(exported.str(), HasSubstr(": " + units + " pictures (" + idr + " IDR)"));
        EXPECT_THAT(exported.str(), HasSubstr(", 0 pictures before the first IDR picture"));
    }
    EXPECT_EQ(sizeOf(dir / "ORGVIDEO00.YUV") % 811008u, 0u);  // whole pictures of channel 1
    EXPECT_TRUE(std::regex_search(slurp(dir / "DSPDEBUG00.LOG"),
                                  std::regex("^[0-9]{2}-[0-9]{2} [0-9:]{8} 0012 0x[0-9A-F]{8},0x[0-9A-F]+,0x[0-9A-F]+,0x0\r\n")));
}

}  // namespace
}  // namespace pemblor::capture
