// Streams of every coding shape a card may send, down the whole road: made
// into replays as the card cuts them (replay make), handed out by a simulated
// card into the real receive thread, recorded, exported, and decoded again
// picture for picture against libavcodec's decoding of the source, each
// picture shown at its own time.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "capture/live_console.hpp"
#include "driver/little_endian.hpp"
#include "recording/recording_tools.hpp"
#include "recording/replay_make.hpp"
#include "sim/settings/replay.hpp"
#include "support/reference_decode.hpp"
#include "support/temp_dir.hpp"
#include "support/test_streams.hpp"

namespace pemblor::recording {
namespace {

using pemblor::testing::Bytes;
using ::testing::HasSubstr;

struct Shape {
    std::string name;
    Bytes stream;
    bool marked = false;
    bool cut = false;  // begins within a group: pictures are left out
};

void writeFile(const std::filesystem::path& p, const Bytes& b) {
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// Up to eight shapes, one a stream slot, received in one run of the console.
void receiveAndCheck(const std::vector<Shape>& shapes) {
    ASSERT_LE(shapes.size(), 8u);
    pemblor::testing::TempDir dir;
    auto script = std::make_shared<sim::ReplayScript>();
    std::vector<sim::ReplayScript> made(shapes.size());
    for (std::size_t slot = 0; slot < shapes.size(); ++slot) {
        const auto in = dir / ("in" + std::to_string(slot) + ".264");
        const auto rpl = dir / ("slot" + std::to_string(slot) + ".rpl");
        writeFile(in, shapes[slot].stream);
        std::ostringstream out, err;
        MakeOptions options;
        options.channel = static_cast<std::uint32_t>(slot % 4);
        options.sub = slot >= 4;
        options.marked = shapes[slot].marked;
        ASSERT_EQ(makeReplay(in, rpl, out, err, options), 0) << shapes[slot].name << ": " << err.str();
        std::string error;
        ASSERT_TRUE(sim::readReplay(rpl, made[slot], error)) << error;
    }
    // The slots' fetches taken in turn, as from a card sending all its streams.
    for (std::size_t i = 0, added = 1; added > 0; ++i) {
        added = 0;
        for (const auto& m : made)
            if (i < m.fetches.size()) script->fetches.push_back(m.fetches[i]), ++added;
    }
    sim::SimSettings settings = sim::SimSettings::withCards({0});
    settings.cards[0].replay = script;
    const std::filesystem::path root = dir / "root";
    std::filesystem::create_directories(root);
    capture::testing::LiveConsole console(std::move(settings), root);
    console.send("click \"1 OpenDev\"\nclick \"SaveFile\"\nclick \"RecvData\"\n");
    driver::DriverLink probe(console.transport());
    probe.openDevice(driver::DriverLink::devicePath(0));
    ASSERT_TRUE(capture::testing::LiveConsole::waitFor([&] {
        std::array<std::uint8_t, 128> counters{};
        probe.deviceInfo(1, counters);
        return driver::loadU32(counters, 20) == script->fetches.size();
    }));
    console.send("click \"RecvData\"\n");
    console.finish();
    ASSERT_EQ(console.exitCode(), 0) << console.errors();

    for (std::size_t slot = 0; slot < shapes.size(); ++slot) {
        const Shape& s = shapes[slot];
        const auto mkv = dir / ("slot" + std::to_string(slot) + ".mkv");
        std::ostringstream out, err;
        ASSERT_EQ(exportRecording(root / ("EVDATA000" + std::to_string(slot) + ".264"), mkv, out, err), 0)
            << s.name << ": " << err.str();
        EXPECT_THAT(out.str(), ::testing::ContainsRegex(s.cut ? "marked blocks, [1-9][0-9]* pictures before the first IDR"
                                                               : "marked blocks, 0 pictures before the first IDR"))
            << s.name << ": " << out.str();
        const auto source = pemblor::testing::referenceDecode(s.stream);
        const auto exported = pemblor::testing::decodeContainer(mkv.c_str());
        ASSERT_GT(source.pictures.size(), 10u) << s.name;
        EXPECT_EQ(exported.decoded.errors, 0) << s.name;
        EXPECT_EQ(pemblor::testing::digests(exported.decoded.pictures), pemblor::testing::digests(source.pictures))
            << s.name << ": " << exported.decoded.pictures.size() << " pictures of " << source.pictures.size();
        // Shown one picture apart, in order: what a player goes by (steps
        // differ by a millisecond where the rate does not divide one).
        const auto& at = exported.shownAt;
        ASSERT_GE(at.size(), 2u) << s.name;
        int uneven = 0;
        for (std::size_t i = 1; i < at.size(); ++i)
            uneven += at[i] <= at[i - 1] || std::abs((at[i] - at[i - 1]) - (at[1] - at[0])) > 1;
        EXPECT_EQ(uneven, 0) << s.name;
    }
}

TEST(FieldTraffic, EveryCodingShapeExportsPictureForPicture) {
    using pemblor::testing::encodeX264;
    const int w = 128, h = 96, n = 31;
    receiveAndCheck({
        {"B pyramid", encodeX264(w, h, n, 25, "bframes=3:b-adapt=0:b-pyramid=normal:keyint=12"), true},
        {"MBAFF", encodeX264(w, h, n, 25, "interlaced=1:bframes=2:b-adapt=0:keyint=12")},
        {"interlaced frames", encodeX264(w, h, n, 25, "fake-interlaced=1:bframes=2:b-adapt=0:keyint=12")},
        {"slices and delimiters", encodeX264(w, h, n, 30, "slices=3:aud=1:bframes=1:b-adapt=0:keyint=8"), true},
        {"intra refresh, order count type 2", encodeX264(w, h, n, 25, "intra-refresh=1:keyint=10:bframes=0")},
        {"open groups with recovery points", encodeX264(w, h, n, 25, "open-gop=1:bframes=3:b-adapt=0:keyint=10")},
        {"field pairs, order count type 0", pemblor::testing::pcmFieldStream(n, 0, true), true},
        {"field pairs, order count type 1, no VUI", pemblor::testing::pcmFieldStream(n, 1, false)},
    });
}

TEST(FieldTraffic, RecordingsCutOffWithinAGroupStartWhereADecoderCan) {
    using pemblor::testing::encodeX264;
    using pemblor::testing::fromAccessUnit;
    const int w = 128, h = 96;
    const Bytes refresh = encodeX264(w, h, 40, 25, "intra-refresh=1:keyint=10:bframes=0");
    const Bytes open = encodeX264(w, h, 40, 25, "open-gop=1:bframes=3:b-adapt=0:keyint=10");
    receiveAndCheck({
        {"long group with SEI", encodeX264(w, h, 40, 25, "keyint=250:bframes=2:b-adapt=0"), true},
        {"intra refresh, cut", fromAccessUnit(refresh, 13), false, true},
        {"open groups, cut", fromAccessUnit(open, 14), false, true},
    });
}

}  // namespace
}  // namespace pemblor::recording
