// What the recording and replay commands do with input that is not what it
// should be, run as an operator runs them: one clear line naming the file
// and what is wrong, a non-zero exit status, no library chatter, memory
// that does not grow with the file, and no output that was there lost.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <random>

#include "capture/recording_header.hpp"
#include "support/run_command.hpp"
#include "support/run_measured.hpp"
#include "support/temp_dir.hpp"
#include "support/test_streams.hpp"

namespace pemblor::recording {
namespace {

using pemblor::testing::Bytes;
using pemblor::testing::runCommand;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

void writeFile(const std::filesystem::path& p, const Bytes& b) {
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

std::string readText(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The stream with the byte after the n-th start code of a NAL type changed to
// `value` bits: a parameter set or slice header that no longer makes sense.
Bytes damaged(Bytes s, int type, int nth, std::size_t at, std::uint8_t value) {
    for (std::size_t i = 0; i + 4 < s.size(); ++i) {
        if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1 && (s[i + 3] & 0x1F) == type && nth-- == 0) {
            s[i + 3 + at] = value;
            break;
        }
    }
    return s;
}

TEST(HostileInput, OneLineAStatusAndNothingLost) {
    pemblor::testing::TempDir dir;
    const std::string ctl = PEMBLORCTL_PATH;
    const Bytes good = pemblor::testing::encodeX264(64, 48, 24, 25, "bframes=2:b-adapt=0:keyint=12");
    writeFile(dir / "good.264", good);
    std::ofstream(dir / "text.txt") << "this is a text, not a stream\n";
    Bytes noise(200000);
    std::mt19937 rng(5);
    for (auto& b : noise) b = static_cast<std::uint8_t>(rng() | 0x10);
    writeFile(dir / "noise.bin", noise);
    writeFile(dir / "empty.264", {});
    // An SPS whose id is far out of range (its first Exp-Golomb code all zeros).
    writeFile(dir / "badsps.264", damaged(good, 7, 0, 4, 0x00));
    writeFile(dir / "badslice.264", damaged(good, 1, 3, 1, 0x00));
    std::ofstream(dir / "keep.mkv") << "KEEP";
    std::filesystem::create_symlink(dir / "keep.mkv", dir / "link.mkv");
    std::ofstream(dir / "cut.rpl") << "fetch\nrecord 18 1 0 12\narea 1 0 0+12 @missing.bin\n";
    std::ofstream(dir / "late.rpl") << "fetch\nat 40\nfetch\nat 20\n";
    std::ofstream(dir / "outside.rpl") << "fetch\narea 5 811000 0+12 @text.txt\n";
    ASSERT_EQ(runCommand("ffmpeg -loglevel error -f lavfi -i testsrc=size=64x48:rate=25 -frames:v 5 -c:v mpeg4 " +
                         (dir / "mpeg4.mkv").string() + " 2>&1").status, 0);
    const std::string d = dir.path().string() + "/";
    const struct {
        std::string args;
        std::string line;  // the one line on standard error, as a pattern
    } cases[] = {
        {"recording info " + d + "text.txt", d + "text.txt: holds no H.264"},
        {"recording info " + d + "noise.bin", d + "noise.bin: holds no H.264"},
        {"recording info " + d + "badsps.264", d + "badsps.264: damaged: [0-9]+ \\(the first at byte 1: seq_parameter_set_id out of range\\)"},
        {"recording export " + d + "badslice.264 " + d + "part.mkv",
         d + "badslice.264: damaged: 1 \\(the first at byte [0-9]+: .*\\); the export holds every picture that could be kept"},
        {"recording export " + d + "text.txt " + d + "keep.mkv", d + "text.txt: holds no H.264 pictures, nothing to export"},
        {"recording export " + d + "empty.264 " + d + "link.mkv", d + "empty.264: holds no H.264 pictures, nothing to export"},
        {"recording export --fps 0 " + d + "good.264 " + d + "x.mkv", "--fps: '0' is not a rate from 1 to 1000 .*"},
        {"replay make " + d + "text.txt " + d + "t.rpl", d + "text.txt: neither an H.264 stream nor a file libavformat opens"},
        {"replay make " + d + "mpeg4.mkv " + d + "m.rpl", d + "mpeg4.mkv: its video is mpeg4, not H.264"},
        {"replay info " + d + "cut.rpl", d + "cut.rpl:3: '.*missing.bin': No such file or directory"},
        {"replay info " + d + "late.rpl", d + "late.rpl:4: at goes back in time \\(20 ms\\)"},
        {"replay info " + d + "outside.rpl", d + "outside.rpl:2: 12 bytes at offset 811000 run past the end of the area of word 5 .*"},
        {"--record-traffic " + d + "nofolder/t.rpl console --script -", "pemblorctl: --record-traffic: .*nofolder/t.rpl: No such file or directory"},
    };
    for (const auto& c : cases) {
        const auto r = runCommand(ctl + " " + c.args + " 2>&1 >/dev/null </dev/null");
        EXPECT_NE(r.status, 0) << c.args;
        EXPECT_THAT(r.out, MatchesRegex((c.line.starts_with("pemblorctl: ") ? "" : "pemblorctl: ") + c.line + "\n")) << c.args;
    }
    EXPECT_EQ(readText(dir / "keep.mkv"), "KEEP");  // through the link as well
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.mkv"));
    EXPECT_FALSE(std::filesystem::exists(dir / "t.rpl"));
    EXPECT_TRUE(std::filesystem::exists(dir / "part.mkv"));  // what could be kept, kept

    // The good stream, cut into a replay and looked into.
    const auto made = runCommand(ctl + " replay make --channel 2 --sub --marked " + d + "good.264 " + d + "g.rpl 2>&1");
    EXPECT_EQ(made.status, 0) << made.out;
    EXPECT_THAT(made.out, HasSubstr("g.rpl: 24 fetches of 24 access units (2 key pictures) as stream id 6"));
    EXPECT_THAT(made.out, HasSubstr("paced at 25 pictures/s (from the stream), 0.96 s"));
    const auto info = runCommand(ctl + " replay info " + d + "g.rpl 2>&1");
    EXPECT_EQ(info.status, 0);
    EXPECT_THAT(info.out, MatchesRegex(".*g.rpl\n  fetches:  24\n  records:  0x12: 24\n  bytes:    [0-9]+ into the areas\n"
                                       "  duration: 0.92 s to the last fetch\n"));
}

TEST(HostileInput, InfoAsJsonIsOneDocumentWithNumbersAndTimesWithTheirOffset) {
    pemblor::testing::TempDir dir;
    const Bytes good = pemblor::testing::encodeX264(64, 48, 24, 30, "bframes=2:b-adapt=0:keyint=12");
    capture::RecordingHeader h{capture::packLocalTime({2026, 7, 1, 12, 0, 0, 0, 3})};
    const auto header = h.bytes();
    Bytes recording(header.begin(), header.end());
    recording.insert(recording.end(), good.begin(), good.end());
    writeFile(dir / "rec.264", recording);
    std::ofstream(dir / "text.txt") << "no video here\n";
    const auto r = runCommand(std::string(PEMBLORCTL_PATH) + " recording info --json " + (dir / "rec.264").string() +
                              " " + (dir / "text.txt").string() + " " + (dir / "none.264").string() + " 2>/dev/null");
    EXPECT_EQ(r.status, 1);
    const auto doc = nlohmann::json::parse(r.out);
    ASSERT_EQ(doc["files"].size(), 3u);
    const auto& f = doc["files"][0];
    EXPECT_THAT(f["header"]["started"].get<std::string>(), MatchesRegex("2026-07-01T12:00:00[+-][0-9][0-9]:[0-9][0-9]"));
    EXPECT_TRUE(f["header"]["finished"].is_null());
    EXPECT_EQ(f["pictures"], 24);
    EXPECT_EQ(f["pictures_per_second"], 30.0);
    EXPECT_EQ(f["profile"], "Main");
    EXPECT_EQ(f["coding"], nlohmann::json::array({"progressive"}));
    EXPECT_EQ(f["reordered"], true);
    EXPECT_EQ(f["key_pictures"], 2);
    EXPECT_EQ(f["damage"]["count"], 0);
    EXPECT_EQ(doc["files"][1]["h264"], false);
    EXPECT_EQ(doc["files"][2]["readable"], false);
}

// Peak memory of a child process, in KiB, and its exit status.
TEST(HostileInput, OneHugeNalUnitIsSkippedWithoutHoldingIt) {
    pemblor::testing::TempDir dir;
    const std::size_t size = 160u << 20;
    {
        std::ofstream out(dir / "huge.264", std::ios::binary);
        const Bytes start = {0, 0, 0, 1, 0x65};
        out.write(reinterpret_cast<const char*>(start.data()), 5);
        const Bytes fill(1u << 20, 0xAB);
        for (std::size_t n = 0; n < size; n += fill.size())
            out.write(reinterpret_cast<const char*>(fill.data()), static_cast<std::streamsize>(fill.size()));
    }
    const std::string ctl = PEMBLORCTL_PATH;
    for (const auto& args : {std::vector<std::string>{ctl, "recording", "info", (dir / "huge.264").string()},
                             std::vector<std::string>{ctl, "recording", "export", (dir / "huge.264").string(),
                                                      (dir / "huge.mkv").string()}}) {
        std::string command;
        for (const auto& a : args) command += "'" + a + "' ";
        const auto [status, peakKiB] = pemblor::testing::runMeasured(command + ">/dev/null 2>&1");
        EXPECT_EQ(status, 1) << args[2];
        // The unit is 160 MiB; what is held stays near the 32 MiB limit.
        if (pemblor::testing::kPeakMeasurable) {
            EXPECT_LT(peakKiB, 96 * 1024) << args[2];
        }
    }
    const auto r = runCommand(ctl + " recording info " + (dir / "huge.264").string() + " 2>&1 >/dev/null");
    EXPECT_EQ(r.out, "pemblorctl: " + (dir / "huge.264").string() + ": damaged: 1 (the first at byte 1: NAL unit larger than 32 MiB, skipped)\n");
}

}  // namespace
}  // namespace pemblor::recording
