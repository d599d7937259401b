// The preview window's handlers against a logging renderer: the four ports,
// Single placement, failed ports, picture sizes by code and NTSC, the in-place
// de-interlacing and chroma conversion, pictures that do not fit, resizing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_host.hpp"
#include "support/video_fakes.hpp"
#include "video/chroma_422_to_420.hpp"
#include "video/deinterlace.hpp"
#include "video/picture_generators.hpp"
#include "video/preview_window.hpp"

namespace pemblor::video {
namespace {

using namespace preview;
using pemblor::testing::CallLog;
using pemblor::testing::FakeHost;
using pemblor::testing::RenderFault;
using pemblor::testing::TestRenderer;
using Strings = std::vector<std::string>;

struct Preview {
    FakeHost host;
    CallLog log;
    TestRenderer renderer{log};
    PreviewWindow window{host, renderer};
    ui::Dialog& d = window.dialog();
};

const Strings kOpenAll = {"init 6",
                          "open 1 1005 352x288 Overlay",
                          "open 2 1023 352x288 Overlay",
                          "open 3 1013 352x288 Overlay",
                          "open 4 1014 352x288 Overlay"};
const Strings kCloseAll = {"close 1", "close 2", "close 3", "close 4"};

// A full-size buffer of 4:2:2 bytes, as large as the card's full-size area.
std::vector<std::uint8_t> fullSizeBuffer(std::uint32_t seed) {
    std::vector<std::uint8_t> b = testing::makePicture(testing::PictureKind::CombingMotion, 704, 576 * 2, seed);
    return b;
}

TEST(PreviewWindow, StartOpensFourPortsAndSingleShowsChannel1Alone) {
    Preview p;
    EXPECT_TRUE(p.d.checked(kData422));
    for (int id : {kGdiDisplay, kSingle, kNtsc, kDeinterlace}) EXPECT_FALSE(p.d.checked(id));
    const ui::Rect grid = p.d.control(kArea1).rect;
    p.d.click(kStop);  // idle: nothing
    p.d.click(kStart);
    p.d.click(kStart);  // running: nothing
    EXPECT_TRUE(p.window.running());
    EXPECT_EQ(p.host.sleptMs, 10);
    p.d.click(kStop);
    Strings expected = kOpenAll;
    expected.insert(expected.end(), kCloseAll.begin(), kCloseAll.end());
    EXPECT_EQ(p.log.entries(), expected);

    p.d.click(kSingle);
    p.d.click(kGdiDisplay);
    p.log.clear();
    p.d.click(kStart);
    EXPECT_EQ(p.log.entries().at(1), "open 1 1005 352x288 GDI");
    EXPECT_EQ(p.log.entries().size(), 5u);  // all four ports, also in Single mode
    EXPECT_EQ(p.d.control(kArea1).rect, kSingleArea);
    EXPECT_TRUE(p.d.visible(kArea1));
    for (int id : {kArea2, kArea3, kArea4}) EXPECT_FALSE(p.d.visible(id));
    // Back to four areas: the grid is restored.
    p.d.click(kStop);
    p.d.click(kSingle);
    p.d.click(kStart);
    EXPECT_EQ(p.d.control(kArea1).rect, grid);
    for (int id : kAreas) EXPECT_TRUE(p.d.visible(id));
    // Closing stops first.
    p.log.clear();
    p.d.click(ui::kIdOk);
    EXPECT_EQ(p.log.entries(), kCloseAll);
    EXPECT_EQ(p.d.result(), ui::kIdOk);
}

TEST(PreviewWindow, FailuresOfInitAndOfOnePort) {
    Preview failedInit;
    failedInit.renderer.faults = {{"init"}};
    failedInit.d.click(kStart);
    EXPECT_EQ(failedInit.host.messages, Strings{"render_init failed!"});
    EXPECT_FALSE(failedInit.window.running());
    EXPECT_EQ(failedInit.log.entries(), Strings{"init 6"});

    Preview p;
    p.renderer.faults = {{"open", 3}, {"open", 2, 1}};
    p.d.click(kStart);
    EXPECT_TRUE(p.host.messages.empty());
    EXPECT_TRUE(p.window.running());
    EXPECT_EQ(p.d.text(kArea3), "render_open failed!");
    for (int id : {kArea1, kArea2, kArea4}) EXPECT_EQ(p.d.text(id), "");
    EXPECT_EQ(p.log.entries(), (Strings{"init 6", "open 1 1005 352x288 Overlay", "open 2 1023 352x288 Overlay",
                                        "open 2 1023 352x288 Offscreen", "open 3 1013 352x288 Overlay",
                                        "open 3 1013 352x288 Offscreen", "open 4 1014 352x288 Overlay"}));
    // The failed port still gets its pictures; Stop closes every port.
    std::vector<std::uint8_t> picture = fullSizeBuffer(1);
    p.window.showPreviewFrame(2, picture, 240);
    EXPECT_EQ(p.renderer.videoCalls(3), 1);
    p.log.clear();
    p.d.click(kStop);
    EXPECT_EQ(p.log.entries(), kCloseAll);
}

TEST(PreviewWindow, PicturesHaveTheSizeOfTheirCodeWithAndWithoutNtsc) {
    Preview p;
    p.d.click(kData422);  // 4:2:0 as it arrives: the picture stays as it is
    p.d.click(kStart);
    const struct {
        std::uint32_t code;
        bool ntsc;
        std::string drawn;  // size and chroma offsets
    } cases[] = {
        {247, false, "704x576 r+506880 b+405504"}, {247, true, "704x480 r+422400 b+337920"},
        {242, false, "352x288 r+126720 b+101376"}, {242, true, "352x240 r+105600 b+84480"},
        {241, false, "176x144 r+31680 b+25344"},   {241, true, "176x120 r+26400 b+21120"},
        {240, false, "352x288 r+126720 b+101376"}, {240, true, "352x288 r+126720 b+101376"},
        {7, true, "352x288 r+126720 b+101376"},
    };
    std::vector<std::uint8_t> picture = fullSizeBuffer(2);
    std::uint32_t channel = 0;
    for (const auto& c : cases) {
        if (p.d.checked(kNtsc) != c.ntsc) p.d.click(kNtsc);
        const int port = static_cast<int>(channel) + 1;
        const int before = p.renderer.videoCalls(port);
        p.window.showPreviewFrame(channel, picture, c.code);
        EXPECT_EQ(p.renderer.videoCalls(port), before + 1) << c.code;
        EXPECT_EQ(p.renderer.lastVideo(port), c.drawn) << c.code << (c.ntsc ? " NTSC" : "");
        channel = (channel + 1) % 4;
    }
    // Channel 4 or more is not a channel of this card.
    int drawn = 0;
    for (int port = 1; port <= 4; ++port) drawn += p.renderer.videoCalls(port);
    p.window.showPreviewFrame(4, picture, 240);
    for (int port = 1; port <= 4; ++port) drawn -= p.renderer.videoCalls(port);
    EXPECT_EQ(drawn, 0);
}

TEST(PreviewWindow, DeinterlacesOnlyFullSizePicturesAndOnlyTheirOwnLines) {
    Preview p;
    p.d.click(kData422);
    p.d.click(kDeinterlace);
    p.d.click(kStart);
    for (std::uint32_t code : {240u, 241u, 242u}) {
        std::vector<std::uint8_t> picture = fullSizeBuffer(code);
        const std::vector<std::uint8_t> before = picture;
        p.window.showPreviewFrame(0, picture, code);
        EXPECT_TRUE(picture == before) << code;
    }
    for (bool ntsc : {false, true}) {
        if (p.d.checked(kNtsc) != ntsc) p.d.click(kNtsc);
        const int height = ntsc ? 480 : 576;
        std::vector<std::uint8_t> picture = fullSizeBuffer(ntsc ? 9 : 8);
        std::vector<std::uint8_t> want = picture;
        ASSERT_TRUE(deinterlace(std::span(want).first(704 * height), 704, height));
        ASSERT_FALSE(want == picture);
        p.window.showPreviewFrame(1, picture, 247);
        // An NTSC picture's chroma, right after its 480 lines, is left alone.
        EXPECT_TRUE(picture == want) << height;
    }
    // Unticked, a full-size picture is left as it is.
    p.d.click(kDeinterlace);
    std::vector<std::uint8_t> picture = fullSizeBuffer(10);
    const std::vector<std::uint8_t> before = picture;
    p.window.showPreviewFrame(1, picture, 247);
    EXPECT_TRUE(picture == before);
}

TEST(PreviewWindow, Converts422InPlaceAndDropsPicturesThatDoNotFit) {
    Preview p;
    p.d.click(kStart);
    for (std::uint32_t code : {247u, 241u}) {
        const bool full = code == 247;
        std::vector<std::uint8_t> picture = fullSizeBuffer(code);
        std::vector<std::uint8_t> want = picture;
        ASSERT_TRUE(convert422To420(want, full ? 704 : 176, full ? 576 : 144));
        p.window.showPreviewFrame(0, picture, code);
        EXPECT_TRUE(picture == want) << code;
    }
    // One byte short of a 4:2:2 CIF picture: nothing is touched or drawn.
    std::vector<std::uint8_t> slot = fullSizeBuffer(3);
    const std::vector<std::uint8_t> before = slot;
    const int drawn = p.renderer.videoCalls(2);
    p.window.showPreviewFrame(1, std::span(slot).first(352 * 288 * 2 - 1), 240);
    EXPECT_TRUE(slot == before);
    EXPECT_EQ(p.renderer.videoCalls(2), drawn);
    // Exactly the size fits.
    p.window.showPreviewFrame(1, std::span(slot).first(352 * 288 * 2), 240);
    EXPECT_EQ(p.renderer.videoCalls(2), drawn + 1);
    // Nothing is drawn once stopped.
    p.d.click(kStop);
    p.window.showPreviewFrame(1, slot, 240);
    EXPECT_EQ(p.renderer.videoCalls(2), drawn + 1);
}

TEST(PreviewWindow, ResizingMovesChannel1OnlyInSingleModeWhileRunning) {
    Preview p;
    const ui::Rect grid = p.d.control(kArea1).rect;
    p.d.click(kStart);
    p.d.resize(1200, 800, ui::SizeKind::Maximized);
    EXPECT_EQ(p.d.control(kArea1).rect, grid);  // not Single
    p.d.click(kStop);
    p.d.click(kSingle);
    p.d.resize(1200, 800, ui::SizeKind::Maximized);
    EXPECT_EQ(p.d.control(kArea1).rect, grid);  // not running
    p.d.click(kStart);
    p.d.resize(1200, 800, ui::SizeKind::Maximized);
    EXPECT_EQ(p.d.control(kArea1).rect, (ui::Rect{0, 0, 1200, 800}));
    p.d.resize(0, 0, ui::SizeKind::Minimized);
    EXPECT_EQ(p.d.control(kArea1).rect, (ui::Rect{0, 0, 1200, 800}));
    p.d.resize(916, 734, ui::SizeKind::Restored);
    EXPECT_EQ(p.d.control(kArea1).rect, kSingleArea);
    p.d.cancel();
    EXPECT_EQ(p.d.result(), ui::kIdCancel);
    EXPECT_FALSE(p.window.running());
}

}  // namespace
}  // namespace pemblor::video
