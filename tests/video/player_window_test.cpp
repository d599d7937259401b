// The player window's handlers against a logging renderer and decoder: the
// order of the library calls, every failure the operator can see, the pieces
// a payload is written in, the picture handler, the counters and resizing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/string_table.hpp"
#include "support/fake_host.hpp"
#include "support/video_fakes.hpp"
#include "video/player_window.hpp"

namespace pemblor::video {
namespace {

using namespace player;
using pemblor::testing::CallLog;
using pemblor::testing::FakeHost;
using pemblor::testing::RenderFault;
using pemblor::testing::TestDecoders;
using pemblor::testing::TestRenderer;
using Strings = std::vector<std::string>;

struct Player {
    FakeHost host;
    CallLog log;
    TestRenderer renderer{log};
    TestDecoders decoders{log};
    PlayerWindow window{host, renderer, decoders};
    ui::Dialog& d = window.dialog();
};

TEST(PlayerWindow, StartOpensPortThenDecoderOnceAndStopClosesInOrder) {
    Player p;
    EXPECT_FALSE(p.d.checked(kGdiDisplay));
    p.d.click(kStop);  // idle: nothing
    p.d.click(kStart);
    p.d.click(kStart);  // running: nothing
    EXPECT_TRUE(p.window.running());
    EXPECT_EQ(p.d.text(kInfo), "Overlay");
    EXPECT_EQ(p.host.sleptMs, 10);
    p.d.click(kStop);
    EXPECT_FALSE(p.window.running());
    EXPECT_EQ(p.log.entries(), (Strings{"init 1", "open 0 1037 352x288 Overlay", "dec open", "dec start", "dec stop",
                                        "dec close", "close 0"}));
    // Start again with GDI ticked; closing the window stops first.
    p.log.clear();
    p.d.click(kGdiDisplay);
    p.d.click(kStart);
    EXPECT_EQ(p.d.text(kInfo), "GDI");
    p.d.click(ui::kIdOk);
    EXPECT_EQ(p.d.result(), ui::kIdOk);
    EXPECT_EQ(p.log.entries(), (Strings{"init 1", "open 0 1037 352x288 GDI", "dec open", "dec start", "dec stop",
                                        "dec close", "close 0"}));
    EXPECT_TRUE(p.host.messages.empty());
}

TEST(PlayerWindow, EveryFailureShowsItsMessageAndLeavesNothingOpen) {
    struct Case {
        std::vector<RenderFault> renderFaults;
        Strings decoderFaults;
        std::string message;  // "" for none
        std::string info;     // edit 1005 afterwards
        bool running;
        Strings log;
    };
    const Case cases[] = {
        {{{"init"}}, {}, "render_init failed!", "", false, {"init 1"}},
        {{{"open"}},
         {},
         "render_open failed!",
         "",
         false,
         {"init 1", "open 0 1037 352x288 Overlay", "open 0 1037 352x288 Offscreen"}},
        {{{"open", 0, 1}},
         {},
         "",
         "Offscreen",
         true,
         {"init 1", "open 0 1037 352x288 Overlay", "open 0 1037 352x288 Offscreen", "dec open", "dec start"}},
        {{},
         {"open"},
         "dec_open failed!",
         "Overlay",
         false,
         {"init 1", "open 0 1037 352x288 Overlay", "dec open", "close 0"}},
        {{},
         {"start"},
         "dec_start failed!",
         "Overlay",
         false,
         {"init 1", "open 0 1037 352x288 Overlay", "dec open", "dec start", "dec close", "close 0"}},
    };
    for (const Case& c : cases) {
        Player p;
        p.renderer.faults = c.renderFaults;
        p.decoders.failing = c.decoderFaults;
        p.d.click(kStart);
        SCOPED_TRACE(c.message + c.info);
        EXPECT_EQ(p.host.messages, c.message.empty() ? Strings{} : Strings{c.message});
        EXPECT_EQ(p.d.text(kInfo), c.info);
        EXPECT_EQ(p.window.running(), c.running);
        EXPECT_EQ(p.log.entries(), c.log);
    }
}

TEST(PlayerWindow, PayloadsGoInPiecesOf8192AndFailedWritesCountW) {
    Player p;
    const std::vector<std::uint8_t> bytes(20000, 7);
    p.window.feedStream({bytes.data(), 100});  // idle: dropped
    EXPECT_TRUE(p.decoders.writes().empty());
    p.d.click(kStart);
    const struct {
        std::size_t payload;
        std::vector<std::size_t> writes;
    } cases[] = {
        {0, {0}},           {1, {1}},
        {8192, {8192}},     {8193, {8192, 1}},
        {16384, {8192, 8192}}, {20000, {8192, 8192, 3616}},
    };
    for (const auto& c : cases) {
        p.decoders.clearWrites();
        p.window.feedStream({bytes.data(), c.payload});
        EXPECT_EQ(p.decoders.writes(), c.writes) << c.payload;
    }
    EXPECT_EQ(p.window.writeFailures(), 0u);
    // Every write fails now: each piece counts, and writing goes on.
    p.decoders.failing = {"write"};
    p.window.feedStream({bytes.data(), 20000});
    p.window.feedStream({bytes.data(), 0});
    EXPECT_EQ(p.window.writeFailures(), 4u);
    p.d.click(kStatistic);
    EXPECT_EQ(p.d.text(kInfo), "W:4 B:0");
}

TEST(PlayerWindow, PictureHandlerDrawsShownPicturesAndCountsEveryDecodedOne) {
    Player p;
    p.d.click(kStatistic);
    EXPECT_EQ(p.d.text(kInfo), "W:0 B:0");
    p.d.click(kStart);
    const PictureHandler handler = p.decoders.handler();
    ASSERT_TRUE(handler);
    std::vector<std::uint8_t> picture(176 * 144 * 3 / 2);
    EXPECT_EQ(handler(0, nullptr, 1, kSizeNotice, 176, 144, 0), 0);           // not a picture
    EXPECT_EQ(handler(0, picture.data(), 0, kDecodedPicture, 176, 144, 1), 1);  // counted, not drawn
    EXPECT_EQ(p.renderer.videoCalls(0), 0);
    EXPECT_EQ(handler(1, picture.data(), 1, kDecodedPicture, 176, 144, 2), 1);
    EXPECT_EQ(p.renderer.videoCalls(0), 1);
    // The decoder's red-difference plane follows the luma, the blue one after it.
    EXPECT_EQ(p.renderer.lastVideo(0), "176x144 r+25344 b+31680");
    p.d.click(kStatistic);
    EXPECT_EQ(p.d.text(kInfo), "W:0 B:2");
    // The counters go on across Stop and Start.
    p.d.click(kStop);
    p.d.click(kStart);
    EXPECT_EQ(p.window.pictures(), 2u);
}

TEST(PlayerWindow, VideoAreaFollowsMaximizedAndRestoredSizesWhileRunning) {
    Player p;
    const ui::Rect initial = p.d.control(kVideoArea).rect;
    p.d.resize(800, 600, ui::SizeKind::Maximized);
    EXPECT_EQ(p.d.control(kVideoArea).rect, initial);  // idle: nothing
    p.d.click(kStart);
    p.d.resize(1280, 760, ui::SizeKind::Maximized);
    EXPECT_EQ(p.d.control(kVideoArea).rect, (ui::Rect{0, 0, 1280, 760}));
    p.d.resize(700, 560, ui::SizeKind::Restored);
    EXPECT_EQ(p.d.control(kVideoArea).rect, (ui::Rect{15, 15, 670, 510}));
    p.d.resize(10, 20, ui::SizeKind::Restored);
    EXPECT_EQ(p.d.control(kVideoArea).rect, (ui::Rect{15, 15, 0, 0}));
    p.d.resize(0, 0, ui::SizeKind::Minimized);
    p.d.resize(300, 300, ui::SizeKind::Other);
    EXPECT_EQ(p.d.control(kVideoArea).rect, (ui::Rect{15, 15, 0, 0}));
    EXPECT_TRUE(p.d.visible(kVideoArea));
    // Esc stops and ends the window as cancelled.
    p.d.cancel();
    EXPECT_EQ(p.d.result(), ui::kIdCancel);
    EXPECT_FALSE(p.window.running());
}

}  // namespace
}  // namespace pemblor::video
