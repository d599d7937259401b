// The stream player through the script console on a simulated card that
// replays hand-made traffic: which blocks reach the decoder and in what
// pieces, a played clip counted and its last picture saved, every failure the
// operator can see.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <fstream>
#include <sstream>

#include "support/temp_dir.hpp"
#include "driver/little_endian.hpp"
#include "recording/replay_make.hpp"
#include "support/png_read.hpp"
#include "support/reference_decode.hpp"
#include "support/test_streams.hpp"
#include "video/h264_clip.hpp"
#include "video/picture_rgb.hpp"
#include "video/video_console.hpp"

namespace pemblor::video {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Strings = std::vector<std::string>;
using pemblor::testing::RenderFault;

Bytes block(std::uint32_t id, const Bytes& payload) {
    Bytes b(8);
    driver::storeU32(b, 0, static_cast<std::uint32_t>(payload.size() + 8));
    driver::storeU32(b, 4, id);
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

// One fetch: a run of stream blocks at the start of the encoded-stream area.
sim::ReplayFetch run(const std::vector<Bytes>& blocks) {
    Bytes all;
    for (const Bytes& b : blocks) all.insert(all.end(), b.begin(), b.end());
    sim::ReplayFetch f;
    f.records.push_back({0x12, static_cast<std::uint32_t>(blocks.size()), 0, static_cast<std::uint32_t>(all.size())});
    f.areas.push_back({1, 0, std::move(all)});
    return f;
}

sim::SimSettings replaying(std::vector<sim::ReplayFetch> fetches) {
    sim::SimSettings settings = sim::SimSettings::withCards({0});
    auto script = std::make_shared<sim::ReplayScript>();
    script->file = "test";
    script->fetches = std::move(fetches);
    settings.cards[0].replay = std::move(script);
    return settings;
}

bool has(const Strings& out, const std::string& line) { return std::find(out.begin(), out.end(), line) != out.end(); }

const char* const kPlaySubChan2 =
    "click \"1 OpenDev\"\n"
    "click \"RecvData\"\n"
    "select 1042 \"SubChan2\"\n"
    "click \"11 Play\"\n"
    "click \"Start\"\n";

TEST(PlayerScenario, BlocksOfTheSlotReachTheDecoderInPiecesOf8192) {
    const pemblor::testing::TempDir root;
    // Slot 5 takes stream ids 5, 9 and 13; ids 1 and 6 belong to other slots.
    const Bytes other(100, 0xEE);
    std::vector<sim::ReplayFetch> fetches = {
        run({block(1, other), block(5, Bytes(8192, 1))}),
        run({block(9, Bytes(8193, 2)), block(6, other)}),
        run({block(13, Bytes(16384, 3))}),
        run({block(5, {}), block(1, other)}),
    };
    testing::VideoConsole console(replaying(std::move(fetches)), root.path(), {.realDecoder = false});
    console.send(kPlaySubChan2);
    ASSERT_TRUE(testing::VideoConsole::waitFor([&] { return console.decoders().writes().size() >= 6; }));
    console.send("click \"Statistic\"\nprint 1005\nclick \"Close\"\nclick \"RecvData\"\n");
    const Strings out = console.finish();
    EXPECT_EQ(console.exitCode(), 0) << console.errors();
    EXPECT_EQ(console.decoders().writes(), (std::vector<std::size_t>{8192, 8192, 1, 8192, 8192, 0}));
    EXPECT_TRUE(has(out, "TEXT 1005 W:0 B:0"));
    EXPECT_TRUE(has(out, "CLOSE 130 1"));
}

// A clip as the card sends it: each access unit in blocks of at most 3000
// bytes and a marked block before every IDR picture. The clip's first
// picture follows once more, as the next group would: only the start of the
// next picture tells a parser that the last one is whole.
std::vector<sim::ReplayFetch> clipTraffic(const testing::Clip& clip, std::uint32_t id) {
    const Bytes marked = {0x00, 0x00, 0x01, 0xF0, 0, 0, 0, 0, 0x98, 0x93, 0xA4, 0x21, 0, 0, 0, 0};
    std::vector<sim::ReplayFetch> fetches;
    std::size_t at = 0;
    for (std::size_t u = 0; u < clip.unitSizes.size(); ++u) {
        std::vector<Bytes> blocks;
        if (u % 25 == 0) blocks.push_back(block(id, marked));
        for (std::size_t left = clip.unitSizes[u]; left > 0;) {
            const std::size_t n = std::min<std::size_t>(left, 3000);
            blocks.push_back(block(id, Bytes(clip.bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                             clip.bytes.begin() + static_cast<std::ptrdiff_t>(at + n))));
            at += n;
            left -= n;
        }
        fetches.push_back(run(blocks));
    }
    fetches.push_back(run({block(id, marked), block(id, Bytes(clip.bytes.begin(),
                                                               clip.bytes.begin() + static_cast<std::ptrdiff_t>(clip.unitSizes[0])))}));
    return fetches;
}

TEST(PlayerScenario, PlaysTheClipAndItsSnapshotIsLibavcodecsLastPicture) {
    const pemblor::testing::TempDir root;
    const testing::Clip clip = testing::encodeClip(176, 144, 50);
    const auto reference = testing::referenceDecode(clip.bytes);
    ASSERT_EQ(reference.size(), 50u);
    testing::VideoConsole console(replaying(clipTraffic(clip, 9)), root.path());
    console.send(kPlaySubChan2);
    ASSERT_TRUE(testing::VideoConsole::waitFor([&] { return console.renderer().videoCalls(0) >= 50; }));
    const auto png = root.path() / "played.png";
    console.send("frames 1037\nclick \"Statistic\"\nprint 1005\nsnapshot 1037 \"" + png.string() +
                 "\"\nclick \"Close\"\n");
    const Strings out = console.finish();
    EXPECT_EQ(console.exitCode(), 0) << console.errors();
    EXPECT_TRUE(has(out, "FRAMES 1037 50 176x144"));
    EXPECT_TRUE(has(out, "TEXT 1005 W:0 B:50"));

    const pemblor::testing::RgbPicture shot = pemblor::testing::readPng(png);
    ASSERT_EQ(shot.width, 176);
    ASSERT_EQ(shot.height, 144);
    const Bytes& last = reference.back();
    const std::size_t luma = 176 * 144;
    Bytes want(luma * 3);
    RgbConverter converter;
    ASSERT_TRUE(converter.convert({last.data(), last.data() + luma, last.data() + luma * 5 / 4}, 176, 144, want.data(),
                                  176 * 3, RgbLayout::Rgb));
    EXPECT_TRUE(shot.rgb == want);
}

// A stream from another encoder (B pyramid, 50 pictures/s), made into a
// paced, looping replay: the player shows the source's pictures in the
// source's order, loop after loop, as they arrive at the stream's pace.
TEST(PlayerScenario, APacedReplayShowsTheSourcesPicturesInOrder) {
    const pemblor::testing::TempDir root;
    const Bytes source = pemblor::testing::encodeX264(176, 144, 20, 50, "bframes=3:b-adapt=0:b-pyramid=normal:keyint=20");
    const auto reference = pemblor::testing::digests(pemblor::testing::referenceDecode(source).pictures);
    ASSERT_EQ(reference.size(), 20u);
    std::ofstream(root.path() / "clip.264", std::ios::binary)
        .write(reinterpret_cast<const char*>(source.data()), static_cast<std::streamsize>(source.size()));
    std::ostringstream made, err;
    recording::MakeOptions options;
    options.marked = true;
    ASSERT_EQ(recording::makeReplay(root.path() / "clip.264", root.path() / "clip.rpl", made, err, options), 0) << err.str();
    auto script = std::make_shared<sim::ReplayScript>();
    std::string error;
    ASSERT_TRUE(sim::readReplay(root.path() / "clip.rpl", *script, error)) << error;
    ASSERT_TRUE(script->paced);
    EXPECT_EQ(script->fetches.back().atMicros, 19 * 20000u);
    sim::SimSettings settings = sim::SimSettings::withCards({0});
    settings.cards[0].replay = script;
    settings.cards[0].replayLoop = true;

    // No gate: the card's own pace is the only one. The player starts within
    // a loop, and its decoder at the next loop's IDR picture.
    testing::VideoConsole console(std::move(settings), root.path(), {.pace = std::chrono::milliseconds(0), .gateOn = ""});
    console.renderer().keepDigests = true;
    console.send("click \"1 OpenDev\"\nclick \"RecvData\"\nselect 1042 \"Chan1\"\nclick \"11 Play\"\nclick \"Start\"\n");
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(testing::VideoConsole::waitFor([&] { return console.renderer().digests(0).size() >= 50; }));
    const auto took = std::chrono::steady_clock::now() - started;
    console.send("click \"Close\"\nclick \"RecvData\"\n");
    console.finish();
    EXPECT_EQ(console.exitCode(), 0) << console.errors();
    const std::vector<std::size_t> shown = console.renderer().digests(0);
    std::string seen;
    for (std::size_t d : shown) {
        const auto at = std::find(reference.begin(), reference.end(), d);
        seen += at == reference.end() ? "? " : std::to_string(at - reference.begin()) + " ";
    }
    for (std::size_t i = 0; i < shown.size(); ++i) ASSERT_EQ(shown[i], reference[i % 20]) << "picture " << i << ": " << seen;
    // At the stream's pace: 50 pictures take two loops and more.
    EXPECT_GE(took, std::chrono::milliseconds(2 * 400));
}

TEST(PlayerScenario, EveryFailureTheOperatorCanSee) {
    const std::string open = "click \"1 OpenDev\"\nclick \"11 Play\"\n";
    const struct {
        std::vector<RenderFault> render;
        Strings decoder;
        std::string clicks;
        Strings expected;  // lines that must appear, in order
    } cases[] = {
        {{{"init"}}, {}, "click \"Start\"\n", {"MSG render_init failed!"}},
        {{{"open"}}, {}, "click \"Start\"\n", {"MSG render_open failed!"}},
        {{{"open", 0, 1}}, {}, "click \"Start\"\nprint 1005\n", {"TEXT 1005 Offscreen"}},
        {{}, {"open"}, "click \"Start\"\nprint 1005\n", {"MSG dec_open failed!", "TEXT 1005 Overlay"}},
        {{}, {"start"}, "click \"Start\"\n", {"MSG dec_start failed!"}},
        {{}, {}, "click \"GDI Display\"\nclick \"Start\"\nclick \"Start\"\nprint 1005\n", {"TEXT 1005 GDI"}},
    };
    for (const auto& c : cases) {
        const pemblor::testing::TempDir root;
        testing::VideoConsole console(sim::SimSettings::withCards({0}), root.path(), {.gateOn = ""});
        console.renderer().faults = c.render;
        console.decoders().failing = c.decoder;
        console.send(open + c.clicks + "click \"Close\"\n");
        const Strings out = console.finish();
        EXPECT_EQ(console.exitCode(), 0) << console.errors();
        auto at = out.begin();
        for (const std::string& line : c.expected) {
            at = std::find(at, out.end(), line);
            EXPECT_NE(at, out.end()) << line;
        }
        // Whatever happened, the decoder was opened at most once and nothing stays open.
        const Strings log = console.log().entries();
        EXPECT_LE(std::count(log.begin(), log.end(), "dec open"), 1);
        const bool openFails = std::count(c.decoder.begin(), c.decoder.end(), "open") > 0;
        EXPECT_EQ(std::count(log.begin(), log.end(), "dec close"),
                  openFails ? 0 : std::count(log.begin(), log.end(), "dec open"));
    }
}

}  // namespace
}  // namespace pemblor::video
