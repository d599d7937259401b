// The whole road on a simulated card, through the script console as an
// operator walks it: unlock, reset, load, start, set-up, channels on, record,
// stop; then what the files hold, read back as any video tool would.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

#include "capture/recording_header.hpp"
#include "capture/recording_tools.hpp"
#include "dsp/coff_writer.hpp"
#include "dsp/temp_dir.hpp"
#include "driver/little_endian.hpp"
#include "live_console.hpp"

namespace pemblor::capture {
namespace {

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

// "  access units:  N, IDR pictures: M, W x H" of recording info.
std::pair<int, int> pictures(const std::string& info) {
    std::smatch m;
    if (!std::regex_search(info, m, std::regex("access units:  ([0-9]+), IDR pictures: ([0-9]+)"))) return {-1, -1};
    return {std::stoi(m[1]), std::stoi(m[2])};
}

TEST(WholeRoad, BootRecordStopAndEveryFileReadsBack) {
    dsp::testing::TempDir dir;
    const dsp::testing::Bytes program =
        dsp::testing::CoffWriter(dsp::testing::CoffLayout::kC1)
            .add({.address = 0x400, .flags = dsp::kSectionCode, .data = dsp::testing::pattern(4096, 1)})
            .add({.address = 0x80000000, .flags = dsp::kSectionData, .data = dsp::testing::pattern(512, 2)})
            .build();
    dsp::testing::writeFile(dir / "sample.img", dsp::testing::scrambled(program));
    sim::SimSettings settings = sim::SimSettings::withCards({0});
    settings.cards[0].bootMs = 60;
    testing::LiveConsole console(std::move(settings), dir.path());
    console.send("click \"5 Enable Superior Op\"\nsettext 1064 \"61740253\"\nclick \"Enter\"\n"
                 "click \"1 OpenDev\"\nclick \"7 ResetDSP\"\n"
                 "answer file \"" + (dir / "sample.img").string() + "\"\nclick \"8 LoadP\"\n"
                 "click \"9 InterDSP\"\nclick \"10 SetDMA\"\n"
                 "click 1047\nclick 1048\nclick 1049\nclick 1050\nclick 1051\nclick 1054\n"
                 "click \"SaveFile\"\nclick \"RecvData\"\n");
    // Recording until every stream holds a few groups of pictures and the video a few pictures.
    const auto stream = [&](int slot) { return dir / ("EVDATA000" + std::to_string(slot) + ".264"); };
    ASSERT_TRUE(testing::LiveConsole::waitFor(
        [&] {
            for (int slot = 0; slot < 8; ++slot) {
                if (sizeOf(stream(slot)) < 128 + (slot < 4 ? 150000u : 60000u)) return false;
            }
            return sizeOf(dir / "ORGVIDEO00.YUV") >= 3 * 811008u;
        },
        std::chrono::seconds(120)));
    console.send("click \"RecvData\"\nwait 1100\nprint 1017\n");
    const std::vector<std::string> out = console.finish();
    ASSERT_EQ(console.exitCode(), 0) << console.errors();
    EXPECT_THAT(out, ::testing::Contains("LINE Load sample.img to DSP finished OK!!!"));
    EXPECT_THAT(out, ::testing::Contains(MatchesRegex("LINE DSP starting takes: [0-9]+ ms")));
    EXPECT_THAT(out, ::testing::Contains("LINE SET_DMA_PADDR      OK !!!"));
    EXPECT_THAT(out, ::testing::Not(::testing::Contains(::testing::StartsWith("MSG "))));

    // Every stream file: finished, and an H.264 stream from its first block on: a marked block
    // and an IDR picture open it, one marked block before each IDR picture.
    for (int slot = 0; slot < 8; ++slot) {
        std::ostringstream info, err;
        ASSERT_EQ(recordingInfo({stream(slot)}, info, err), 0) << err.str();
        EXPECT_THAT(info.str(), HasSubstr("  finished:      2")) << slot;
        EXPECT_THAT(info.str(), HasSubstr(slot < 4 ? ", 352 x 288\n" : ", 176 x 144\n")) << slot;
        const auto [units, idr] = pictures(info.str());
        EXPECT_GT(units, 25) << slot;
        EXPECT_GE(idr, 2) << slot;
        EXPECT_THAT(info.str(), HasSubstr("marked blocks: " + std::to_string(idr) + " (skipped)")) << slot;
        const std::string bytes = slurp(stream(slot));
        EXPECT_EQ(bytes.substr(128, 4), std::string("\x00\x00\x01\xF0", 4)) << slot;

        std::ostringstream exported;
        const auto mkv = dir / ("slot" + std::to_string(slot) + ".mkv");
        ASSERT_EQ(exportRecording(stream(slot), mkv, exported, err), 0) << err.str();
        EXPECT_THAT(exported.str(), HasSubstr(": " + std::to_string(units) + " pictures (" + std::to_string(idr) +
                                              " IDR)"));
        EXPECT_THAT(exported.str(), HasSubstr("0 pictures before the first IDR picture"));
    }
    // Whole pictures of channel 1, one after the other; debug records as lines.
    EXPECT_EQ(sizeOf(dir / "ORGVIDEO00.YUV") % 811008u, 0u);
    const std::string log = slurp(dir / "DSPDEBUG00.LOG");
    EXPECT_TRUE(std::regex_search(log, std::regex("^[0-9]{2}-[0-9]{2} [0-9:]{8} 0012 0x[0-9A-F]{8},0x[0-9A-F]+,0x[0-9A-F]+,0x0\r\n")));
    // Nothing dropped on the card's side: the ErrorC line's D word.
    ASSERT_GE(out.size(), 2u);
    EXPECT_THAT(out[out.size() - 2], MatchesRegex("TEXT 1017 T:-?[0-9]+ D:0 S:-?[0-9]+ V:-?[0-9]+"));
}

}  // namespace
}  // namespace pemblor::capture
