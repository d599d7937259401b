// Reception under load: the simulated card at four times its rate, every
// channel and picture on, hostile records among them, recorded for a few
// seconds. Nothing may be dropped
// and every stream file must hold every picture of every group it began:
// the marked block before each IDR picture carries the stream's running
// picture number, so a lost block or picture shows as a group of the wrong
// length or a jump in the numbers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "recording/access_units.hpp"
#include "capture/delivered.hpp"
#include "capture/live_console.hpp"
#include "recording/marked_blocks.hpp"
#include "capture/recording_header.hpp"
#include "support/temp_dir.hpp"
#include "driver/little_endian.hpp"

namespace pemblor::capture {
namespace {

constexpr std::uint32_t kSpeed = 4;
constexpr int kFps = 25;  // pictures from one IDR picture to the next

std::vector<std::uint8_t> readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::uintmax_t sizeOf(const std::filesystem::path& p) {
    std::error_code ec;
    const auto n = std::filesystem::file_size(p, ec);
    return ec ? 0 : n;
}

struct Group {
    std::uint32_t pictureNumber = 0;  // from its marked block
    int pictures = 0;                 // access units up to the next marked block
};

// The groups of pictures of a stream file's payload, split at its marked blocks.
std::vector<Group> groups(std::span<const std::uint8_t> payload) {
    static constexpr std::uint8_t kStart[4] = {0x00, 0x00, 0x01, 0xF0};
    std::vector<Group> found;
    std::size_t at = 0;
    while (at < payload.size()) {
        const void* hit = memmem(payload.data() + at, payload.size() - at, kStart, sizeof kStart);
        const std::size_t next = hit ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - payload.data())
                                     : payload.size();
        if (!found.empty()) {
            recording::AccessUnitSplitter units([&](const recording::AccessUnit& u) { found.back().pictures += u.picture ? 1 : 0; });
            units.push(payload.subspan(at, next - at));
            units.finish();
        }
        if (!hit || next + recording::kMarkedBlockSize > payload.size()) break;
        found.push_back({driver::loadU32(payload, next + 4), 0});
        at = next + recording::kMarkedBlockSize;
    }
    return found;
}

TEST(ReceptionLoad, FourTimesTheCardsRateForSecondsLosesNothing) {
    pemblor::testing::TempDir dir;
    sim::SimSettings settings = sim::SimSettings::withCards({0});
    sim::CardSettings& card = settings.cards[0];
    card.dspMode = sim::DspMode::Running;
    card.speed = kSpeed;
    // Room for a few seconds of items, so that a machine busy with other work
    // may hold the console up without the card dropping anything.
    card.queueItems = 16384;
    // Now and then a fetch with a hostile record (a total below 8, a run past the area): the data
    // waits for the next fetch, so a careful console still loses nothing.
    card.faults.malformed = true;
    testing::LiveConsole console(std::move(settings), dir.path());
    console.send("click \"1 OpenDev\"\nclick \"SaveFile\"\nclick \"RecvData\"\n");
    const auto stream = [&](int slot) { return dir / ("EVDATA000" + std::to_string(slot) + ".264"); };
    // About three seconds of every stream at this rate.
    ASSERT_TRUE(testing::LiveConsole::waitFor(
        [&] {
            for (int slot = 0; slot < 8; ++slot) {
                if (sizeOf(stream(slot)) < 128 + (slot < 4 ? 1100000u : 370000u)) return false;
            }
            return true;
        },
        std::chrono::seconds(120)));
    console.send("click \"RecvData\"\nwait 1100\nprint 1017\n");
    const std::vector<std::string> out = console.finish();
    ASSERT_EQ(console.exitCode(), 0) << console.errors();
    EXPECT_EQ(testing::recordedDigests(dir.path()), testing::deliveredDigests(console.transport()));
    ASSERT_GE(out.size(), 2u);
    EXPECT_THAT(out[out.size() - 2], ::testing::MatchesRegex("TEXT 1017 T:-?[0-9]+ D:0 S:-?[0-9]+ V:-?[0-9]+"));

    for (int slot = 0; slot < 8; ++slot) {
        const std::vector<std::uint8_t> file = readFile(stream(slot));
        ASSERT_TRUE(RecordingHeader::parse(file) && RecordingHeader::parse(file)->finished()) << slot;
        const std::vector<Group> g = groups(std::span(file).subspan(kRecordingHeaderSize));
        ASSERT_GE(g.size(), 3u) << slot;
        // Every group but the last (cut by the stop) is whole, and the numbers run on without a gap.
        for (std::size_t i = 0; i + 1 < g.size(); ++i) {
            EXPECT_EQ(g[i].pictures, kFps) << "slot " << slot << " group " << i;
            EXPECT_EQ(g[i + 1].pictureNumber, g[i].pictureNumber + kFps) << "slot " << slot << " group " << i;
        }
        EXPECT_LE(g.back().pictures, kFps) << slot;
    }
    EXPECT_EQ(sizeOf(dir / "ORGVIDEO00.YUV") % 811008u, 0u);
}

}  // namespace
}  // namespace pemblor::capture
