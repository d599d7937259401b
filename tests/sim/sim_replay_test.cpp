// Replayed traffic: every item of the format, its errors, and its delivery
// byte for byte through the fetch request.
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "sim/production/replay_cursor.hpp"
#include "sim/settings/replay.hpp"
#include "sim_test_support.hpp"

namespace pemblor::sim::test {
namespace {

class SimReplay : public SimCardTest {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() / ("pemblor_replay_" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir_ / "sub");
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    void write(const std::string& name, std::string_view text) { std::ofstream(dir_ / name, std::ios::binary) << text; }

    std::filesystem::path dir_;
};

TEST_F(SimReplay, FetchesAreHandedOutByteForByteThenTheCardStaysQuiet) {
    write("sub/blocks.bin", std::string("\x0c\x00\x00\x00\x05\x00\x00\x00" "ABCD", 12));
    write("sub/traffic.txt",
          "# two fetches of hand-made traffic\n"
          "fetch\n"
          "record 18 0 0 12            # one block of stream 5\n"
          "area 1 0 @blocks.bin\n"
          "record 0x19 1 0x100 72\n"
          "area 1 0x100 01 00 00 00 0x02,0x03 0405\n"
          "fetch\n"
          "record 240 3 0 0\n"
          "area 9 0x94800 FF EE\n"
          "area 13 0 AA\n"
          "area 5 811006 BB CC\n"
          "\n"
          "fetch\n");
    write("cards.ini", "[card 0]\nreplay = sub/traffic.txt\n");
    SimSettings settings = SimSettings::withCards({0});
    std::string error;
    ASSERT_TRUE(applySimConfig(dir_ / "cards.ini", settings, error)) << error;
    start(std::move(settings));
    const Answer mapping = call(driver::kMapAddresses, {}, 64);
    const auto area = [&](std::uint32_t word) { return transport_->area(handle_, wordAt(mapping.out, word)); };

    // Nothing before reception is registered.
    EXPECT_EQ(call(driver::kFetchNotifications, {}, 128).result.bytes, 0u);
    const driver::EventHandle event = transport_->createEvent();
    ASSERT_TRUE(call(driver::kRegisterEvent, words({event}), 0).result.ok);
    ASSERT_EQ(transport_->waitEvent(event, 10000), driver::WaitResult::Signalled);

    Answer f = call(driver::kFetchNotifications, {}, 128);
    ASSERT_EQ(f.result.bytes, 32u);
    EXPECT_EQ(Bytes(f.out.begin(), f.out.begin() + 32), words({18, 0, 0, 12, 25, 1, 0x100, 72}));
    EXPECT_EQ(Bytes(area(1).begin(), area(1).begin() + 12), (Bytes{12, 0, 0, 0, 5, 0, 0, 0, 'A', 'B', 'C', 'D'}));
    EXPECT_EQ(Bytes(area(1).begin() + 0x100, area(1).begin() + 0x108), (Bytes{1, 0, 0, 0, 2, 3, 4, 5}));
    // More fetches wait: the event is signalled again.
    ASSERT_EQ(transport_->waitEvent(event, 10000), driver::WaitResult::Signalled);
    f = call(driver::kFetchNotifications, {}, 128);
    ASSERT_EQ(f.result.bytes, 16u);
    EXPECT_EQ(Bytes(f.out.begin(), f.out.begin() + 16), words({240, 3, 0, 0}));
    EXPECT_EQ(area(9)[0x94800], 0xFF);
    EXPECT_EQ(area(9)[0x94801], 0xEE);
    EXPECT_EQ(area(13)[0], 0xAA);
    EXPECT_EQ(area(5)[811007], 0xCC);
    // An empty fetch answers nothing; after the last, the card stays quiet.
    ASSERT_EQ(transport_->waitEvent(event, 10000), driver::WaitResult::Signalled);
    EXPECT_EQ(call(driver::kFetchNotifications, {}, 128).result.bytes, 0u);
    EXPECT_EQ(transport_->waitEvent(event, 200), driver::WaitResult::Timeout);
    EXPECT_EQ(call(driver::kFetchNotifications, {}, 128).result.bytes, 0u);
    // What was handed out is counted: 3 records in 3 fetches, one block.
    const Answer counters = info(1);
    EXPECT_EQ(wordAt(counters.out, 4), 3u);
    EXPECT_EQ(wordAt(counters.out, 5), 3u);
    EXPECT_EQ(wordAt(counters.out, 8), 1u);
}

TEST_F(SimReplay, AFetchBufferSmallerThanTheRecordsGetsTheFirstOnes) {
    ReplayScript script;
    std::string error;
    ASSERT_TRUE(readReplayText("fetch\nrecord 1 2 3 4\nrecord 5 6 7 8\n", "r.txt", dir_, script, error)) << error;
    SimSettings settings = SimSettings::withCards({0});
    settings.cards[0].replay = std::make_shared<ReplayScript>(script);
    start(std::move(settings));
    ASSERT_TRUE(call(driver::kRegisterEvent, words({transport_->createEvent()}), 0).result.ok);
    const Answer f = call(driver::kFetchNotifications, {}, 31);
    EXPECT_EQ(f.result.bytes, 16u);
    EXPECT_EQ(Bytes(f.out.begin(), f.out.begin() + 16), words({1, 2, 3, 4}));
    // A record area below 16 bytes takes nothing and fetches nothing.
    EXPECT_FALSE(call(driver::kFetchNotifications, words({0}), 128).result.ok);
}

// A paced replay hands each fetch out at its time from the start of
// reception, by a rate or by times; a loop starts over one period later (the
// last time and a mean interval); a new start of reception goes on from where
// the replay stood.
TEST_F(SimReplay, PacedFetchesWaitForTheirTimeAndLoopsStartOver) {
    using namespace std::chrono_literals;
    const struct {
        const char* text;
        bool loop;
        std::vector<std::chrono::microseconds> due;  // of the fetches taken in turn
    } cases[] = {
        {"rate 25\nfetch\nfetch\nfetch\n", true, {0us, 40ms, 80ms, 120ms, 160ms, 200ms}},
        {"rate 30000/1001\nfetch\nfetch\n", false, {0us, 33367us}},
        {"fetch\nat 5\nfetch\nfetch\nat 12.5\n", true, {5ms, 5ms, 12500us, 21250us, 21250us, 28750us}},
        {"fetch\nfetch\n", true, {0us, 0us, 0us, 0us}},
    };
    for (const auto& c : cases) {
        auto script = std::make_shared<ReplayScript>();
        std::string error;
        ASSERT_TRUE(readReplayText(c.text, "r.txt", dir_, *script, error)) << error;
        ReplayCursor cursor(script, c.loop);
        const SimClock::time_point t0{std::chrono::seconds(100)};
        cursor.restart(t0);
        for (std::size_t i = 0; i < c.due.size(); ++i) {
            const SimClock::time_point due = t0 + c.due[i];
            ASSERT_EQ(cursor.due(), due) << c.text << " fetch " << i;
            if (c.due[i] > 0us) {
                EXPECT_EQ(cursor.take(due - 1us), nullptr) << c.text << " fetch " << i;
            }
            EXPECT_NE(cursor.take(due), nullptr) << c.text << " fetch " << i;
        }
        EXPECT_EQ(cursor.left(), c.loop) << c.text;
    }
    // Reception stopped after the second fetch and started again later: the third is due at once.
    auto script = std::make_shared<ReplayScript>();
    std::string error;
    ASSERT_TRUE(readReplayText("rate 10\nfetch\nfetch\nfetch\n", "r.txt", dir_, *script, error)) << error;
    ReplayCursor cursor(script, false);
    const SimClock::time_point t0{std::chrono::seconds(5)};
    cursor.restart(t0);
    cursor.take(t0);
    cursor.take(t0 + 100ms);
    cursor.restart(t0 + 10s);
    EXPECT_EQ(cursor.due(), t0 + 10s);
}

TEST_F(SimReplay, BadReplaysAreRefusedWithFileLineAndReason) {
    write("five.bin", "12345");
    const struct {
        std::string text;
        std::string expected;
    } cases[] = {
        {"record 18 0 0 12\n", "r.txt:1: record before the first fetch"},
        {"area 1 0 00\n", "r.txt:1: area before the first fetch"},
        {"fetch\nfetch now\n", "r.txt:2: fetch takes nothing after it"},
        {"fetch\nrecord 18 0 0\n", "r.txt:2: record takes a code and three words"},
        {"fetch\nrecord 18 0 0 1 2\n", "r.txt:2: record takes a code and three words"},
        {"fetch\nrecord 18 0 0 0x1G\n", "r.txt:2: '0x1G' is not a 32-bit number"},
        {"fetch\nrecord 1 0 0 0\nrecord 1 0 0 0\nrecord 1 0 0 0\nrecord 1 0 0 0\nrecord 1 0 0 0\n"
         "record 1 0 0 0\nrecord 1 0 0 0\nrecord 1 0 0 0\nrecord 1 0 0 0\n",
         "r.txt:10: more than eight records in one fetch"},
        {"fetch\narea 2 0 00\n", "r.txt:2: area word 2 names no area (1, 5, 9 or 13)"},
        {"fetch\narea 1\n", "r.txt:2: area takes a word, an offset and bytes"},
        {"fetch\narea 1 0\n", "r.txt:2: area without bytes"},
        {"fetch\narea 1 0 0g\n", "r.txt:2: 'g' is not a hex digit"},
        {"fetch\narea 1 0 012\n", "r.txt:2: odd number of hex digits"},
        {"fetch\narea 13 811007 00 00\n", "r.txt:2: 2 bytes at offset 811007 run past the end of the area of word 13"},
        {"fetch\narea 9 0xFFFFFFFF 00\n", "r.txt:2: offset 4294967295 lies past the end of the area of word 9"},
        {"fetch\narea 13 811004 @five.bin\n", "r.txt:2: '" + (dir_ / "five.bin").string() + "' holds 5 bytes, more than the 4 left"},
        {"fetch\narea 1 0 @missing.bin\n", "r.txt:2: '" + (dir_ / "missing.bin").string() + "': No such file or directory"},
        {"fetch\narea 1 0 @.\n", "r.txt:2: '" + (dir_ / ".").string() + "': is a folder, not a file"},
        {"fetch\narea 1 0 \x1B[31m" + std::string(300, 'A') + "\n", "r.txt:2: '\\x1B' is not a hex digit"},
        {"fetch\narea 1 0 00\n" + std::string(70000, '#') + "\n", "r.txt:3: the line is longer than 65536 bytes"},
        {"fetch\narea 1 0 @\n", "r.txt:2: '@' without a file name"},
        {"fetch\nplay\n", "r.txt:2: unknown item 'play' (rate, fetch, at, record or area)"},
        {"at 5\n", "r.txt:1: at before the first fetch"},
        {"fetch\nat 40\nfetch\nat 39.999\n", "r.txt:4: at goes back in time (39.999 ms)"},
        {"fetch\nat 1\nat 2\n", "r.txt:3: a second at for one fetch"},
        {"fetch\nat 1.2345\n", "r.txt:2: '1.2345' is not a time in milliseconds"},
        {"fetch\nat -1\n", "r.txt:2: '-1' is not a time in milliseconds"},
        {"rate 25\nfetch\nat 40\n", "r.txt:3: at in a file with a rate: one or the other"},
        {"fetch\nrate 25\n", "r.txt:2: rate after the first fetch"},
        {"rate 0\n", "r.txt:1: '0' is not a rate from 0 to 100000"},
        {"rate 25/0\n", "r.txt:1: '25/0' is not a rate"},
        {"rate 25 fps\n", "r.txt:1: rate takes one number: rate R"},
        {"fetch\narea 1 0 2+4 @five.bin\n", "r.txt:2: bytes 2+4 lie beyond the end of '"},
        {"fetch\narea 1 0 0+4 five.bin\n", "r.txt:2: area takes FROM+N @PATH"},
        {"fetch\narea 1 0 0+x @five.bin\n", "r.txt:2: 'x' is not a 32-bit number"},
        {"fetch\narea 13 811007 0+2 @five.bin\n", "r.txt:2: 2 bytes at offset 811007 run past the end"},
        {"fetch\narea 1 0 0+1 @sub\n", "r.txt:2: '" + (dir_ / "sub").string() + "': is a folder"},
        {"fetch\n" + std::string(60000, 'x') + "\n", "r.txt:2: unknown item '" + std::string(255, 'x') + "... (rate,"},
    };
    for (const auto& c : cases) {
        ReplayScript script;
        std::string error;
        EXPECT_FALSE(readReplayText(c.text, "r.txt", dir_, script, error)) << c.text;
        EXPECT_EQ(error.rfind(c.expected, 0), 0u) << "got: " << error;
    }
    // In the settings, the error names both files.
    write("bad.txt", "fetch\nrecord 1\n");
    SimSettings settings = SimSettings::withCards({0});
    std::string error;
    EXPECT_FALSE(applySimConfigText("[card 0]\nreplay = " + (dir_ / "bad.txt").string() + "\n", "c.ini", settings,
                                    error));
    EXPECT_EQ(error, "c.ini:2: " + (dir_ / "bad.txt").string() + ":2: record takes a code and three words: record CODE W1 W2 W3");
    EXPECT_FALSE(applySimConfigText("[card 0]\nreplay = " + (dir_ / "none.txt").string() + "\n", "c.ini", settings,
                                    error));
    EXPECT_EQ(error.rfind("c.ini:2: " + (dir_ / "none.txt").string() + ": No such file or directory", 0), 0u) << error;
}

}  // namespace
}  // namespace pemblor::sim::test
