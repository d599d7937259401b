// The video windows on a simulated card in service, as an operator uses them:
// a sub-stream played and counted, its last picture found again in a
// libavcodec decode of the recording of the same stream; the four preview
// channels live; and both windows opened and closed again and again while the
// card delivers at four times its rate.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "support/temp_dir.hpp"
#include "support/console_script.hpp"
#include "support/png_read.hpp"
#include "video/h264_clip.hpp"
#include "video/picture_rgb.hpp"
#include "video/video_console.hpp"

namespace pemblor::video {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Strings = std::vector<std::string>;

sim::SimSettings inService(std::uint32_t speed = 1) {
    sim::SimSettings settings = sim::SimSettings::withCards({0});
    settings.cards[0].dspMode = sim::DspMode::Running;
    settings.cards[0].speed = speed;
    return settings;
}

Bytes readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The first line of out that matches, or "".
std::string find(const Strings& out, const std::string& pattern) {
    const std::regex re(pattern);
    for (const std::string& line : out) {
        if (std::regex_match(line, re)) return line;
    }
    return {};
}

TEST(LiveVideo, PlaysASubStreamWhoseLastPictureIsInTheRecording) {
    const pemblor::testing::TempDir root;
    testing::VideoConsole console(inService(), root.path(), {.gateOn = ""});
    console.send(
        "click \"1 OpenDev\"\nclick \"SaveFile\"\nclick \"RecvData\"\nselect 1042 \"SubChan2\"\n"
        "click \"11 Play\"\nclick \"Start\"\n");
    // A second of pictures after the decoder has met the stream's next IDR picture.
    ASSERT_TRUE(testing::VideoConsole::waitFor([&] { return console.renderer().videoCalls(0) >= 25; }));
    const auto png = root.path() / "sub2.png";
    console.send("click \"Stop\"\nframes 1037\nclick \"Statistic\"\nprint 1005\nsnapshot 1037 \"" + png.string() +
                 "\"\nclick \"Close\"\nclick \"RecvData\"\n");
    const Strings out = console.finish();
    ASSERT_EQ(console.exitCode(), 0) << console.errors();

    const std::string frames = find(out, "FRAMES 1037 [0-9]+ 176x144");
    ASSERT_FALSE(frames.empty());
    const int drawn = std::stoi(frames.substr(12));
    EXPECT_GE(drawn, 25);
    // Every decoded picture was drawn, and no write was lost.
    EXPECT_EQ(find(out, "TEXT 1005 W:0 B:" + std::to_string(drawn)), "TEXT 1005 W:0 B:" + std::to_string(drawn));

    // The recording of slot 5 holds the same bytes the player decoded.
    const Bytes recording = readFile(root.path() / "EVDATA0005.264");
    ASSERT_GT(recording.size(), 128u);
    const auto pictures = testing::referenceDecode(Bytes(recording.begin() + 128, recording.end()));
    ASSERT_FALSE(pictures.empty());
    const pemblor::testing::RgbPicture shot = pemblor::testing::readPng(png);
    ASSERT_EQ(shot.width, 176);
    ASSERT_EQ(shot.height, 144);
    RgbConverter converter;
    Bytes rgb(176 * 144 * 3);
    const bool found = std::any_of(pictures.begin(), pictures.end(), [&](const Bytes& p) {
        const std::size_t luma = 176 * 144;
        return converter.convert({p.data(), p.data() + luma, p.data() + luma * 5 / 4}, 176, 144, rgb.data(), 176 * 3,
                                 RgbLayout::Rgb) &&
               rgb == shot.rgb;
    });
    EXPECT_TRUE(found);
}

TEST(LiveVideo, FourPreviewChannelsLive) {
    const pemblor::testing::TempDir root;
    testing::VideoConsole console(inService(), root.path(), {.gateOn = ""});
    console.send("click \"1 OpenDev\"\nclick \"RecvData\"\nclick \"12 Preview\"\nclick \"De_interlace\"\n"
                 "click \"Start\"\n");
    ASSERT_TRUE(testing::VideoConsole::waitFor([&] {
        for (int port = 1; port <= 4; ++port) {
            if (console.renderer().videoCalls(port) < 10) return false;
        }
        return true;
    }));
    console.send("frames 1005\nframes 1023\nframes 1013\nframes 1014\nclick \"Close\"\n");
    const Strings out = console.finish();
    ASSERT_EQ(console.exitCode(), 0) << console.errors();
    // Preview pictures of code 242 and the shared full-size pictures of code 247.
    for (const char* id : {"1005", "1023", "1013", "1014"}) {
        EXPECT_FALSE(find(out, std::string("FRAMES ") + id + " [1-9][0-9]+ (352x288|704x576)").empty()) << id;
    }
}

TEST(LiveVideo, WindowsCloseSafelyWhileTheCardDeliversAtFourTimesItsRate) {
    const pemblor::testing::TempDir root;
    std::string script = "click \"1 OpenDev\"\nclick \"RecvData\"\nselect 1042 \"Chan1\"\n";
    constexpr int kRounds = 6;
    for (int round = 0; round < kRounds; ++round) {
        // Closed by button, and by Esc at the end of the next window's turn.
        script += "click \"11 Play\"\nclick \"Start\"\nwait 300\nframes 1037\nclick \"Close\"\n";
        script += "click \"12 Preview\"\nclick \"De_interlace\"\nclick \"Start\"\nwait 200\nframes 1005\n";
        script += round % 2 ? "click \"Close\"\n" : "click 2\n";
    }
    script += "click \"RecvData\"\n";
    const auto run = pemblor::testing::runConsoleScript(script, inService(4), root.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    int playerCloses = 0, previewCloses = 0;
    long pictures = 0;
    for (const std::string& line : run.out) {
        playerCloses += line == "CLOSE 130 1";
        previewCloses += line == "CLOSE 131 1" || line == "CLOSE 131 2";
        if (line.rfind("FRAMES ", 0) == 0) pictures += std::stol(line.substr(12));
    }
    EXPECT_EQ(playerCloses, kRounds);
    EXPECT_EQ(previewCloses, kRounds);
    EXPECT_GT(pictures, 0);
}

}  // namespace
}  // namespace pemblor::video
