// The live preview through the script console on a simulated card that
// replays one picture of each code: the sizes drawn with and without NTSC,
// de-interlacing of the full-size picture only, and what the areas show,
// compared with the same steps done here.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/temp_dir.hpp"
#include "support/png_read.hpp"
#include "video/chroma_422_to_420.hpp"
#include "video/deinterlace.hpp"
#include "video/picture_generators.hpp"
#include "video/picture_rgb.hpp"
#include "video/preview_picture.hpp"
#include "video/video_console.hpp"

namespace pemblor::video {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Strings = std::vector<std::string>;

constexpr std::size_t kSlotBytes = 202752;  // 352 x 288 x 2
constexpr std::size_t kFullBytes = 811008;  // 704 x 576 x 2

// Combed full-size picture and slot pictures: textured, moving between fields.
Bytes fullSizeArea() { return testing::makePicture(testing::PictureKind::CombingMotion, 704, 1152, 31); }
Bytes slotsArea() { return testing::makePicture(testing::PictureKind::CombingMotion, 704, 1152, 32); }

// One fetch with a picture for every channel: 247 on channel 1, 242 on 2,
// 241 on 3 and 240 on 4.
sim::SimSettings onePictureEach() {
    sim::ReplayFetch f;
    f.records = {{247, 0, 0, 0}, {242, 1, 0, 0}, {241, 2, 0, 0}, {240, 3, 0, 0}};
    f.areas.push_back({13, 0, fullSizeArea()});
    f.areas.push_back({9, 0, slotsArea()});
    sim::SimSettings settings = sim::SimSettings::withCards({0});
    auto script = std::make_shared<sim::ReplayScript>();
    script->file = "test";
    script->fetches = {std::move(f)};
    settings.cards[0].replay = std::move(script);
    return settings;
}

// What an area should show: the picture taken as the window takes it, in RGB.
Bytes expectedRgb(Bytes picture, std::uint32_t code, bool ntsc, bool deinterlaced) {
    const PictureSize size = previewPictureSize(code, ntsc);
    const std::size_t luma = static_cast<std::size_t>(size.width) * size.height;
    if (deinterlaced) {
        EXPECT_TRUE(deinterlace(std::span(picture).first(luma), size.width, size.height));
    }
    EXPECT_TRUE(convert422To420(picture, size.width, size.height));
    Bytes rgb(luma * 3);
    RgbConverter converter;
    EXPECT_TRUE(converter.convert({picture.data(), picture.data() + luma * 5 / 4, picture.data() + luma},
                                  size.width, size.height, rgb.data(), size.width * 3, RgbLayout::Rgb));
    return rgb;
}

bool has(const Strings& out, const std::string& line) { return std::find(out.begin(), out.end(), line) != out.end(); }

TEST(PreviewScenario, SizesByCodeWithAndWithoutNtscAndDeinterlacingOnlyFullSize) {
    const Bytes full = fullSizeArea();
    const Bytes slots = slotsArea();
    for (const bool ntsc : {false, true}) {
        SCOPED_TRACE(ntsc ? "NTSC" : "PAL");
        const pemblor::testing::TempDir root;
        testing::VideoConsole console(onePictureEach(), root.path(), {.gateOn = "open 4 "});
        console.send(std::string("click \"1 OpenDev\"\nclick \"RecvData\"\nclick \"12 Preview\"\n") +
                     (ntsc ? "click \"NTSC\"\n" : "") + "click \"De_interlace\"\nclick \"Start\"\n");
        ASSERT_TRUE(testing::VideoConsole::waitFor([&] {
            for (int port = 1; port <= 4; ++port) {
                if (console.renderer().videoCalls(port) == 0) return false;
            }
            return true;
        }));
        const auto shot1 = root.path() / "ch1.png";
        const auto shot2 = root.path() / "ch2.png";
        console.send("frames 1005\nframes 1023\nframes 1013\nframes 1014\nsnapshot 1005 \"" + shot1.string() +
                     "\"\nsnapshot 1023 \"" + shot2.string() + "\"\nclick \"Close\"\n");
        const Strings out = console.finish();
        ASSERT_EQ(console.exitCode(), 0) << console.errors();
        EXPECT_TRUE(has(out, ntsc ? "FRAMES 1005 1 704x480" : "FRAMES 1005 1 704x576"));
        EXPECT_TRUE(has(out, ntsc ? "FRAMES 1023 1 352x240" : "FRAMES 1023 1 352x288"));
        EXPECT_TRUE(has(out, ntsc ? "FRAMES 1013 1 176x120" : "FRAMES 1013 1 176x144"));
        EXPECT_TRUE(has(out, "FRAMES 1014 1 352x288"));

        // Channel 1's full-size picture was de-interlaced, channel 2's was not.
        const Bytes fullShown = expectedRgb(full, 247, ntsc, true);
        EXPECT_NE(fullShown, expectedRgb(full, 247, ntsc, false));
        EXPECT_TRUE(pemblor::testing::readPng(shot1).rgb == fullShown);
        const Bytes slot2(slots.begin() + kSlotBytes, slots.begin() + 2 * kSlotBytes);
        const Bytes slotShown = expectedRgb(slot2, 242, ntsc, false);
        EXPECT_NE(slotShown, expectedRgb(slot2, 242, ntsc, true));
        EXPECT_TRUE(pemblor::testing::readPng(shot2).rgb == slotShown);
    }
    EXPECT_EQ(full.size(), kFullBytes);
}

TEST(PreviewScenario, FailedPortAndStartTwice) {
    const pemblor::testing::TempDir root;
    testing::VideoConsole console(sim::SimSettings::withCards({0}), root.path(), {.gateOn = ""});
    console.renderer().faults = {{"open", 3}};
    console.send("click \"12 Preview\"\nclick \"Single\"\nclick \"Start\"\nclick \"Start\"\nprint 1013\n"
                 "state 1005\nstate 1023\nclick \"Stop\"\nclick \"Stop\"\nclick \"Close\"\n");
    const Strings out = console.finish();
    EXPECT_EQ(console.exitCode(), 0) << console.errors();
    EXPECT_TRUE(has(out, "TEXT 1013 render_open failed!"));
    EXPECT_TRUE(has(out, "STATE 1005 enabled=1 visible=1 checked=0 selection=-1 items=0"));
    EXPECT_TRUE(has(out, "STATE 1023 enabled=1 visible=0 checked=0 selection=-1 items=0"));
    const Strings log = console.log().entries();
    EXPECT_EQ(std::count(log.begin(), log.end(), "init 6"), 1);
    EXPECT_EQ(std::count(log.begin(), log.end(), "close 3"), 1);
}

}  // namespace
}  // namespace pemblor::video
