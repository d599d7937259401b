// Reception of replayed traffic through the script console, byte for byte:
// the walk's edges, a one-record fetch, SaveFile clear and hostile counts,
// seen in the files and in the status lines an operator reads.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <regex>

#include "capture/recording_header.hpp"
#include "support/temp_dir.hpp"
#include "driver/little_endian.hpp"
#include "live_console.hpp"
#include "sim/settings/replay.hpp"

namespace pemblor::capture {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

Bytes block(std::uint32_t id, const Bytes& payload, std::uint32_t total = 0) {
    Bytes b(8);
    driver::storeU32(b, 0, total ? total : static_cast<std::uint32_t>(payload.size() + 8));
    driver::storeU32(b, 4, id);
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

std::string area(int word, std::size_t offset, const Bytes& bytes) {
    static const char* hex = "0123456789ABCDEF";
    std::string line = "area " + std::to_string(word) + " " + std::to_string(offset) + " ";
    for (std::uint8_t b : bytes) line += {hex[b >> 4], hex[b & 15]};
    return line + "\n";
}

const Bytes kA = {0xA1, 0xA2, 0xA3, 0xA4, 0xA5}, kB = {0xB1, 0xB2, 0xB3}, kC = {0xC1, 0xC2, 0xC3, 0xC4};
const Bytes kMarked = {0x00, 0x00, 0x01, 0xF0, 7, 0, 0, 0, 0x98, 0x93, 0xA4, 0x21, 0, 0, 0, 0};

// Three fetches: the walk's edges with every other code, a fetch of one
// record, and counts no area can hold.
std::string traffic(const Bytes& video) {
    const Bytes run = concat({block(1, kA), block(5, kB), block(9, kC), block(2, kMarked), block(3, {})});
    const Bytes withTail = concat({run, block(0, {}, 100)});  // a header that ends the run exactly: not read
    Bytes debug(72, 0);
    for (std::uint32_t w = 0; w < 4; ++w) driver::storeU32(debug, 4 * w, w + 1);
    driver::storeU32(debug, 64, 0x12);
    const Bytes lone = concat({block(6, {}), {0x00, 0x00, 0x01, 0xF0}});
    return "fetch\n"
           "record 18 5 0 " + std::to_string(withTail.size()) + "\n" +
           "record 17 0 0 64\n"
           "record 25 1 0x1F0000 72\n"
           "record 240 4 0 0\n"
           "record 241 1 0 0\n"
           "record 0x99 1 2 3\n" +
           area(1, 0, withTail) + area(5, 0, video) + area(1, 0x1F0000, debug) +
           "fetch\n"  // one record: 16 bytes
           "record 18 1 0 12\n" +
           area(1, 0, lone) +
           "fetch\n"
           "record 18 1 0 0xFFFFFFFF\n"
           "record 25 0 0xFFFFFFF0 0xFFFFFFFF\n"
           "record 247 0xFFFFFFFF 0 0\n"
           "record 17 0 0 0xFFFFFFFF\n" +
           area(1, 0, Bytes(8, 0));  // a total length of 0: counted, then the walk ends
}

TEST(ReplayedReception, EdgesAndHostileCountsWithAndWithoutSaveFile) {
    Bytes video(64);
    for (std::size_t i = 0; i < video.size(); ++i) video[i] = static_cast<std::uint8_t>(i * 3 + 1);
    constexpr std::size_t kVideoArea = 811008;
    for (const bool save : {true, false}) {
        pemblor::testing::TempDir root;
        sim::ReplayScript script;
        std::string error;
        ASSERT_TRUE(sim::readReplayText(traffic(video), "traffic.txt", root.path(), script, error)) << error;
        sim::SimSettings settings = sim::SimSettings::withCards({0});
        settings.cards[0].replay = std::make_shared<const sim::ReplayScript>(std::move(script));
        testing::LiveConsole console(std::move(settings), root.path());
        console.send(std::string("click \"1 OpenDev\"\n") + (save ? "click \"SaveFile\"\n" : "") +
                     "click \"RecvData\"\n");
        // The card's own count of fetches that handed something out, read through a handle of the test's.
        driver::DriverLink probe(console.transport());
        probe.openDevice(driver::DriverLink::devicePath(0));
        const auto fetchesHandedOut = [&] {
            std::array<std::uint8_t, 128> counters{};
            probe.deviceInfo(1, counters);
            return driver::loadU32(counters, 20);
        };
        // Once the last fetch is handed out, the stop waits for the thread to handle it.
        ASSERT_TRUE(testing::LiveConsole::waitFor([&] { return fetchesHandedOut() == 3; }));
        console.send("click \"RecvData\"\nwait 1100\nprint 1016\nprint 1019\nprint 1026\nprint 1039\nprint 1040\n");
        const std::vector<std::string> out = console.finish();
        ASSERT_EQ(console.exitCode(), 0) << console.errors();

        const std::map<int, Bytes> payload{{1, kA}, {5, concat({kB, kC})}, {2, kMarked}};
        for (int slot = 0; slot < 8; ++slot) {
            const Bytes f = readFile(root.path() / ("EVDATA000" + std::to_string(slot) + ".264"));
            ASSERT_GE(f.size(), 128u);
            EXPECT_TRUE(RecordingHeader::parse(f)->finished());
            const auto it = payload.find(slot);
            const Bytes want = save && it != payload.end() ? it->second : Bytes{};
            EXPECT_EQ(Bytes(f.begin() + 128, f.end()), want) << "slot " << slot << (save ? " saved" : "");
        }
        // The fixed description in every header: magic, 0x6000, 1, 8, 8000, 2, 352 x 288, 25, length 128.
        const Bytes header = readFile(root.path() / "EVDATA0003.264");
        EXPECT_EQ(std::string(header.begin(), header.begin() + 5), "KESTA");
        const std::vector<std::uint32_t> fields{driver::loadU32(header, 12), driver::loadU16(header, 24),
                                                driver::loadU16(header, 26), driver::loadU32(header, 28),
                                                driver::loadU32(header, 32), driver::loadU16(header, 36),
                                                driver::loadU16(header, 38), driver::loadU16(header, 42),
                                                driver::loadU32(header, 52)};
        EXPECT_EQ(fields, (std::vector<std::uint32_t>{0x6000, 1, 8, 8000, 2, 352, 288, 25, 128}));
        EXPECT_LE(driver::loadU32(header, 44), driver::loadU32(header, 48));  // start, then the stop's end
        Bytes wholeArea(kVideoArea, 0);
        std::copy(video.begin(), video.end(), wholeArea.begin());
        EXPECT_EQ(readFile(root.path() / "ORGVIDEO00.YUV"), save ? concat({video, wholeArea}) : Bytes{});
        const Bytes lines = readFile(root.path() / "DSPDEBUG00.LOG");
        EXPECT_TRUE(std::regex_match(std::string(lines.begin(), lines.end()),
                                     std::regex("[01][0-9]-[0-3][0-9] [0-2][0-9]:[0-5][0-9]:[0-5][0-9] "
                                                "0012 0x00000001,0x2,0x3,0x4\r\n")));
        // What the operator reads: three stream notices, two video notices, three preview notices;
        // one block each in slots 1, 2 and 3; in slot 0 only the hostile header, counted before
        // it was checked, with its wrapped length as bytes (the header ending the first run was
        // not read).
        ASSERT_GE(out.size(), 5u);
        const std::vector<std::string> status(out.end() - 6, out.end() - 1);
        EXPECT_THAT(status[0], ::testing::MatchesRegex("TEXT 1016 S:.... T:.... E:0003 G:0002 P:0003 .*"));
        EXPECT_THAT(status[1], ::testing::StartsWith("TEXT 1019 CH1:FN:0001 "));
        EXPECT_THAT(status[2], ::testing::StartsWith("TEXT 1026 CH2:FN:0001 "));
        EXPECT_THAT(status[3], ::testing::StartsWith("TEXT 1039 CH3:FN:0001 "));
        EXPECT_THAT(status[4], ::testing::StartsWith("TEXT 1040 CH4:FN:0001 "));
    }
}

}  // namespace
}  // namespace pemblor::capture
