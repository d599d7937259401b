// Traffic recorded in the field and brought back to the lab: a console
// receives from a card in service while --record-traffic writes what it
// fetches; a card replaying that file then gives a second console recordings
// identical to the first's, at the pace they were recorded. A recording that
// reaches its size limit stops with a line and stays a replay file.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "capture/live_console.hpp"
#include "driver/driver_link.hpp"
#include "driver/little_endian.hpp"
#include "driver/tracing_transport.hpp"
#include "driver/traffic_recording_transport.hpp"
#include "sim/settings/replay.hpp"
#include "support/temp_dir.hpp"

namespace pemblor::driver {
namespace {

using Bytes = std::vector<std::uint8_t>;
using capture::testing::LiveConsole;

Bytes readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// What a receiving period left: the eight streams' payloads and the original video.
std::vector<Bytes> recordings(const std::filesystem::path& root) {
    std::vector<Bytes> files;
    for (int slot = 0; slot < 8; ++slot) {
        const Bytes f = readFile(root / ("EVDATA000" + std::to_string(slot) + ".264"));
        files.push_back(f.size() >= 128 ? Bytes(f.begin() + 128, f.end()) : Bytes{});
    }
    files.push_back(readFile(root / "ORGVIDEO00.YUV"));
    return files;
}

sim::SimSettings inService() {
    sim::SimSettings settings = sim::SimSettings::withCards({0});
    sim::CardSettings& card = settings.cards[0];
    card.dspMode = sim::DspMode::Running;
    card.previewFps = 2;
    card.fullSizeFps = 1;
    card.originalVideoFps = 2;
    return settings;
}

const char* const kReceive = "click \"1 OpenDev\"\nclick \"SaveFile\"\nclick \"RecvData\"\n";

// Receives until the recorder has written `fetches` fetches.
std::vector<Bytes> recordRun(const std::filesystem::path& root, const TrafficRecordingTransport::Options& options,
                             std::uint64_t fetches, std::ostream& log) {
    TrafficRecordingTransport* recorder = nullptr;
    LiveConsole console(inService(), root, [&](Transport& cards) {
        std::string error;
        auto t = TrafficRecordingTransport::create(cards, options, log, error);
        EXPECT_TRUE(t) << error;
        recorder = t.get();
        return t;
    });
    console.send(kReceive);
    EXPECT_TRUE(LiveConsole::waitFor([&] { return recorder->fetchesRecorded() >= fetches || !recorder->recording(); }));
    console.send("click \"RecvData\"\n");
    console.finish();
    EXPECT_EQ(console.exitCode(), 0) << console.errors();
    return recordings(root);
}

TEST(TrafficRecording, ARecordedCardReplaysIntoIdenticalRecordingsAtItsPace) {
    pemblor::testing::TempDir dir;
    std::filesystem::create_directories(dir / "field");
    std::filesystem::create_directories(dir / "lab");
    std::ostringstream log;
    const auto file = dir / "traffic.rpl";
    const std::vector<Bytes> field = recordRun(dir / "field", {file, 256u << 20}, 60, log);
    EXPECT_EQ(log.str(), "");
    ASSERT_GT(field[0].size(), 10000u);  // channel 1's main stream came through
    ASSERT_GT(field[8].size(), 0u);

    auto script = std::make_shared<sim::ReplayScript>();
    std::string error;
    ASSERT_TRUE(sim::readReplay(file, *script, error)) << error;
    ASSERT_TRUE(script->paced);
    ASSERT_GE(script->fetches.size(), 60u);
    const auto duration = std::chrono::microseconds(script->fetches.back().atMicros - script->fetches.front().atMicros);
    sim::SimSettings settings = sim::SimSettings::withCards({0});
    settings.cards[0].replay = script;
    LiveConsole console(std::move(settings), dir / "lab");
    console.send(kReceive);
    DriverLink probe(console.transport());
    probe.openDevice(DriverLink::devicePath(0));
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(LiveConsole::waitFor([&] {
        std::array<std::uint8_t, 128> counters{};
        probe.deviceInfo(1, counters);
        return loadU32(counters, 20) == script->fetches.size();
    }));
    // Handed out as they came, not faster.
    EXPECT_GE(std::chrono::steady_clock::now() - started, duration);
    console.send("click \"RecvData\"\n");
    console.finish();
    ASSERT_EQ(console.exitCode(), 0) << console.errors();
    const std::vector<Bytes> lab = recordings(dir / "lab");
    for (std::size_t i = 0; i < field.size(); ++i) EXPECT_TRUE(lab[i] == field[i]) << "file " << i;
}

TEST(TrafficRecording, StopsAtItsLimitWithALineAndStaysAReplayFile) {
    pemblor::testing::TempDir dir;
    std::ostringstream log;
    const auto file = dir / "small.rpl";
    recordRun(dir.path(), {file, 4u << 20}, 1u << 30, log);
    EXPECT_THAT(log.str(), ::testing::MatchesRegex("traffic recording .*small.rpl: stopped at its limit of 4 MB after "
                                                   "[1-9][0-9]* fetches\n"));
    sim::ReplayScript script;
    std::string error;
    ASSERT_TRUE(sim::readReplay(file, script, error)) << error;
    EXPECT_GT(script.fetches.size(), 0u);
    EXPECT_LE(std::filesystem::file_size(file) + std::filesystem::file_size(dir / "small.rpl.bin"), 4u << 20);

    // A place that is not a file is refused before anything runs.
    sim::SimTransport cards(sim::SimSettings::withCards({0}));
    EXPECT_FALSE(TrafficRecordingTransport::create(cards, {dir.path(), 1u << 20}, log, error));
    EXPECT_EQ(error, dir.path().string() + ": not a regular file");
}

// A wrapper must not hide what the transport says of itself: a receive thread
// left behind relies on the areas' keeper, and the tools on "simulated".
TEST(TrafficRecording, WrappersPassOnTheAreaKeeperAndSimulated) {
    pemblor::testing::TempDir dir;
    sim::SimTransport cards(sim::SimSettings::withCards({0}));
    std::ostringstream log;
    std::string error;
    auto recorder = TrafficRecordingTransport::create(cards, {dir / "t.rpl"}, log, error);
    ASSERT_TRUE(recorder) << error;
    TracingTransport tracing(*recorder, log);
    const DeviceHandle handle = tracing.open(DriverLink::devicePath(0));
    ASSERT_TRUE(handle.valid());
    EXPECT_TRUE(tracing.simulated());
    EXPECT_NE(tracing.areaKeeper(handle), nullptr);
    EXPECT_TRUE(tracing.close(handle));
}

}  // namespace
}  // namespace pemblor::driver
