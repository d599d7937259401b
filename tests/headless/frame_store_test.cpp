// The script console's renderer and its two commands: what a video area
// counts, the PNG of its last picture, and the script errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/temp_dir.hpp"
#include "headless/frame_store.hpp"
#include "resources/dialogs.hpp"
#include "support/console_script.hpp"
#include "support/png_read.hpp"
#include "video/picture_rgb.hpp"

namespace pemblor::headless {
namespace {

// A 4:2:0 picture whose every plane holds its own gradient, shifted by n.
std::vector<std::uint8_t> picture(int w, int h, int n) {
    std::vector<std::uint8_t> p(static_cast<std::size_t>(w) * h * 3 / 2);
    for (std::size_t i = 0; i < p.size(); ++i) p[i] = static_cast<std::uint8_t>(16 + (i * 7 + n * 13) % 220);
    return p;
}

video::PicturePlanes planesOf(const std::vector<std::uint8_t>& p, int w, int h) {
    const std::size_t luma = static_cast<std::size_t>(w) * h;
    return {p.data(), p.data() + luma, p.data() + luma + luma / 4};
}

TEST(FrameStore, CountsPicturesPerAreaAndSavesTheLastAsPng) {
    const pemblor::testing::TempDir dir;
    ui::Dialog preview(resources::previewDialog());
    FrameStore store;
    EXPECT_EQ(store.frames(preview, 1023).drawn, 0u);
    ASSERT_EQ(store.init(6), 0);
    ASSERT_EQ(store.open(2, {&preview, 1023}, 352, 288, video::RenderMethod::Overlay), 0);
    ASSERT_EQ(store.open(1, {&preview, 1005}, 352, 288, video::RenderMethod::Gdi), 0);
    std::vector<std::uint8_t> last;
    for (int n = 0; n < 3; ++n) {
        last = picture(176, 144, n);
        EXPECT_EQ(store.video(2, planesOf(last, 176, 144), 176, 144), 0);
    }
    const FrameStore::Frames f = store.frames(preview, 1023);
    EXPECT_EQ(f.drawn, 3u);
    EXPECT_EQ(f.width, 176);
    EXPECT_EQ(f.height, 144);
    EXPECT_EQ(store.frames(preview, 1005).drawn, 0u);

    // Pictures the store refuses: odd sizes, a closed port, no such port.
    EXPECT_LT(store.video(2, planesOf(last, 176, 144), 175, 144), 0);
    EXPECT_LT(store.video(3, planesOf(last, 176, 144), 176, 144), 0);
    EXPECT_LT(store.video(5, planesOf(last, 176, 144), 176, 144), 0);
    ASSERT_EQ(store.close(2), 0);
    EXPECT_LT(store.video(2, planesOf(last, 176, 144), 176, 144), 0);
    EXPECT_EQ(store.frames(preview, 1023).drawn, 3u);  // kept after closing

    // The snapshot is the last picture, converted as the desktop shows it.
    const auto file = dir.path() / "area.png";
    std::string error;
    ASSERT_TRUE(store.snapshot(preview, 1023, file, error)) << error;
    const testing::RgbPicture png = testing::readPng(file);
    ASSERT_EQ(png.width, 176);
    ASSERT_EQ(png.height, 144);
    std::vector<std::uint8_t> want(176 * 144 * 3);
    video::RgbConverter converter;
    ASSERT_TRUE(converter.convert(planesOf(last, 176, 144), 176, 144, want.data(), 176 * 3, video::RgbLayout::Rgb));
    EXPECT_TRUE(png.rgb == want);

    EXPECT_FALSE(store.snapshot(preview, 1005, dir.path() / "none.png", error));
    EXPECT_EQ(error, "no picture has been drawn on control 1005");
    EXPECT_FALSE(store.snapshot(preview, 1023, dir.path() / "missing" / "x.png", error));
    EXPECT_EQ(error, "No such file or directory");

    // A window that closes takes its areas along.
    store.forget(preview);
    EXPECT_EQ(store.frames(preview, 1023).drawn, 0u);
}

TEST(FrameStore, ScriptCommandsReportAreasAndRefuseOtherControls) {
    const auto run = [](const std::string& script) {
        return testing::runConsoleScript(script, sim::SimSettings::withCards({0}));
    };
    const testing::ScriptRun ok = run("click \"12 Preview\"\nframes 1005\nframes 1014\nclick \"Close\"\n");
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
    EXPECT_NE(std::find(ok.out.begin(), ok.out.end(), "FRAMES 1005 0 0x0"), ok.out.end());
    EXPECT_NE(std::find(ok.out.begin(), ok.out.end(), "FRAMES 1014 0 0x0"), ok.out.end());

    const struct {
        std::string script;
        std::string error;
    } bad[] = {
        {"click \"11 Play\"\nframes \"Start\"\n", "ERROR 2: control 1039 is not a video area\n"},
        {"click \"11 Play\"\nframes\n", "ERROR 2: usage: frames <control>\n"},
        {"click \"11 Play\"\nsnapshot 1037 \"/tmp/x.png\"\n",
         "ERROR 2: snapshot of control 1037: no picture has been drawn on control 1037\n"},
        {"click \"11 Play\"\nsnapshot 1037 x.png\n", "ERROR 2: usage: snapshot <control> \"<path.png>\"\n"},
    };
    for (const auto& b : bad) {
        const testing::ScriptRun r = run(b.script);
        EXPECT_EQ(r.exitCode, 2) << b.script;
        EXPECT_EQ(r.err, b.error);
    }
}

}  // namespace
}  // namespace pemblor::headless
