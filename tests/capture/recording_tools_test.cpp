// Recording files read back and exported: marked blocks found by their form
// wherever the pieces split them, access units and IDR pictures counted, and
// the export played back by libavformat and libavcodec.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <fstream>
#include <random>
#include <sstream>

#include "capture/marked_blocks.hpp"
#include "capture/recording_header.hpp"
#include "capture/recording_tools.hpp"
#include "dsp/temp_dir.hpp"
#include "driver/little_endian.hpp"
#include "sim/h264_encoder.hpp"

namespace pemblor::capture {
namespace {

using Bytes = std::vector<std::uint8_t>;
using ::testing::HasSubstr;

Bytes markedBlock(std::uint32_t picture) {
    Bytes b(16, 0);
    driver::storeU32(b, 0, 0xF0010000);
    driver::storeU32(b, 4, picture);
    driver::storeU32(b, 8, 0x00000100);  // a time word that itself holds 00 00 01 00
    return b;
}

// Sixty pictures of a moving scene, GOP 25, as the card records them: a
// marked block before each IDR picture. skip drops the first pictures, as a
// recording that starts within a group.
struct Recorded {
    Bytes payload;       // what the file holds after its header
    Bytes stream;        // the H.264 alone
    int pictures = 0, idr = 0, markers = 0;
};

Recorded record(int skip = 0) {
    std::string error;
    auto encoder = sim::H264Encoder::open({}, error);
    EXPECT_TRUE(encoder) << error;
    Recorded r;
    Bytes picture(encoder->pictureSize());
    std::vector<sim::AccessUnit> units;
    for (int n = 0; n < 60; ++n) {
        for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<std::uint8_t>((i + 3 * n) * 7);
        encoder->encode(picture, units);
    }
    for (const auto& u : units) {
        if (u.pictureNumber < skip) continue;
        if (u.idr) {
            const Bytes m = markedBlock(static_cast<std::uint32_t>(u.pictureNumber));
            r.payload.insert(r.payload.end(), m.begin(), m.end());
            ++r.markers;
            ++r.idr;
        }
        r.payload.insert(r.payload.end(), u.bytes.begin(), u.bytes.end());
        r.stream.insert(r.stream.end(), u.bytes.begin(), u.bytes.end());
        ++r.pictures;
    }
    return r;
}

void writeRecording(const std::filesystem::path& p, const Bytes& payload, bool finished) {
    RecordingHeader h{packLocalTime({2026, 12, 8, 10, 30, 0, 0, 2})};
    if (finished) h.endTime = packLocalTime({2026, 12, 8, 10, 31, 5, 0, 2});
    std::ofstream out(p, std::ios::binary);
    const auto header = h.bytes();
    out.write(reinterpret_cast<const char*>(header.data()), header.size());
    out.write(reinterpret_cast<const char*>(payload.data()), static_cast<std::streamsize>(payload.size()));
}

TEST(MarkedBlocks, FoundByTheirFormWhereverThePiecesSplitThem) {
    const Recorded r = record();
    std::mt19937 rng(3);
    for (int round = 0; round < 20; ++round) {
        Bytes out;
        MarkedBlockFilter filter([&](std::span<const std::uint8_t> b) { out.insert(out.end(), b.begin(), b.end()); });
        std::uniform_int_distribution<std::size_t> size(1, round < 10 ? 20 : 5000);
        for (std::size_t at = 0; at < r.payload.size();) {
            const std::size_t n = std::min(size(rng), r.payload.size() - at);
            filter.push(std::span(r.payload).subspan(at, n));
            at += n;
        }
        filter.finish();
        EXPECT_EQ(filter.markedBlocks(), static_cast<std::uint64_t>(r.markers)) << round;
        ASSERT_EQ(out, r.stream) << round;
    }
    // A block cut off by the end of the file is dropped too.
    Bytes out;
    MarkedBlockFilter filter([&](std::span<const std::uint8_t> b) { out.insert(out.end(), b.begin(), b.end()); });
    const Bytes tail = {9, 9, 0x00, 0x00, 0x01, 0xF0, 1, 2};
    filter.push(tail);
    filter.finish();
    EXPECT_EQ(out, (Bytes{9, 9}));
    EXPECT_EQ(filter.markedBlocks(), 1u);
}

TEST(RecordingInfo, HeaderPayloadMarkedBlocksAndPictures) {
    dsp::testing::TempDir dir;
    const Recorded r = record();
    writeRecording(dir / "EVDATA0000.264", r.payload, true);
    writeRecording(dir / "EVDATA0001.264", r.payload, false);
    std::ofstream(dir / "bare.264", std::ios::binary)
        .write(reinterpret_cast<const char*>(r.stream.data()), static_cast<std::streamsize>(r.stream.size()));
    std::ostringstream out, err;
    EXPECT_EQ(recordingInfo({dir / "EVDATA0000.264", dir / "EVDATA0001.264", dir / "bare.264", dir / "missing.264"},
                            out, err),
              1);
    const std::string units = "  access units:  60, IDR pictures: 3, 352 x 288\n";
    EXPECT_EQ(out.str(), (dir / "EVDATA0000.264").string() + "\n" +
                             "  header:        recording, started 2026-12-08 10:30:00\n"
                             "  finished:      2026-12-08 10:31:05\n"
                             "  payload bytes: " + std::to_string(r.payload.size()) + "\n" +
                             "  marked blocks: 3 (skipped)\n" + units +
                             (dir / "EVDATA0001.264").string() + "\n" +
                             "  header:        recording, started 2026-12-08 10:30:00\n"
                             "  finished:      no, cut off (the recording was not stopped)\n"
                             "  payload bytes: " + std::to_string(r.payload.size()) + "\n" +
                             "  marked blocks: 3 (skipped)\n" + units +
                             (dir / "bare.264").string() + "\n" +
                             "  header:        none, read as a bare H.264 stream\n"
                             "  payload bytes: " + std::to_string(r.stream.size()) + "\n" +
                             "  marked blocks: 0 (skipped)\n" + units);
    EXPECT_EQ(err.str(), (dir / "missing.264").string() + ": can't be read\n");
}

// Opens a file with libavformat and decodes every picture with libavcodec.
struct Played {
    std::string codec;
    int width = 0, height = 0, packets = 0, decoded = 0, keyPackets = 0;
    double seconds = 0, rate = 0;
};

Played play(const std::filesystem::path& p) {
    Played r;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, p.c_str(), nullptr, nullptr) < 0) return r;
    avformat_find_stream_info(fmt, nullptr);
    const AVStream* st = fmt->streams[0];
    r.codec = avcodec_get_name(st->codecpar->codec_id);
    r.width = st->codecpar->width;
    r.height = st->codecpar->height;
    r.rate = av_q2d(st->avg_frame_rate);
    const AVCodec* dec = avcodec_find_decoder(st->codecpar->codec_id);
    AVCodecContext* ctx = avcodec_alloc_context3(dec);
    avcodec_parameters_to_context(ctx, st->codecpar);
    avcodec_open2(ctx, dec, nullptr);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    std::int64_t last = 0;
    const auto drain = [&] {
        while (avcodec_receive_frame(ctx, frame) == 0) ++r.decoded;
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        ++r.packets;
        if (pkt->flags & AV_PKT_FLAG_KEY) ++r.keyPackets;
        last = std::max(last, pkt->pts + pkt->duration);
        avcodec_send_packet(ctx, pkt);
        drain();
        av_packet_unref(pkt);
    }
    avcodec_send_packet(ctx, nullptr);
    drain();
    r.seconds = static_cast<double>(last) * av_q2d(st->time_base);
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    avformat_close_input(&fmt);
    return r;
}

TEST(RecordingExport, Mp4AndMatroskaPlayBackEveryPicture) {
    dsp::testing::TempDir dir;
    writeRecording(dir / "EVDATA0000.264", record().payload, true);
    writeRecording(dir / "EVDATA0004.264", record(10).payload, false);
    for (const char* name : {"whole.mp4", "whole.MKV"}) {
        std::ostringstream out, err;
        std::vector<double> progress;
        ASSERT_EQ(exportRecording(dir / "EVDATA0000.264", dir / name, out, err,
                                  [&](double share) { progress.push_back(share); }),
                  0)
            << err.str();
        EXPECT_EQ(out.str(), (dir / name).string() +
                                 ": 60 pictures (3 IDR), 352 x 288, 25 pictures/s; left out: 3 marked blocks, 0 "
                                 "pictures before the first IDR picture\n");
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(progress.back(), 1.0);
        const Played p = play(dir / name);
        EXPECT_EQ(p.codec, "h264") << name;
        EXPECT_EQ(p.width, 352);
        EXPECT_EQ(p.height, 288);
        EXPECT_EQ(p.packets, 60) << name;
        EXPECT_EQ(p.keyPackets, 3) << name;
        EXPECT_EQ(p.decoded, 60) << name;
        EXPECT_NEAR(p.seconds, 2.4, 0.05) << name;
        EXPECT_NEAR(p.rate, 25.0, 0.01) << name;
    }
    // Started within a group: the pictures before the first IDR picture can't be shown and are left out.
    std::ostringstream out, err;
    ASSERT_EQ(exportRecording(dir / "EVDATA0004.264", dir / "late.mkv", out, err), 0) << err.str();
    EXPECT_THAT(out.str(), HasSubstr(": 35 pictures (2 IDR)"));
    EXPECT_THAT(out.str(), HasSubstr("left out: 2 marked blocks, 15 pictures before the first IDR picture"));
    EXPECT_EQ(play(dir / "late.mkv").decoded, 35);
}

TEST(RecordingExport, RefusesWhatItCannotExport) {
    dsp::testing::TempDir dir;
    Bytes noise(100000);
    std::mt19937 rng(1);
    for (auto& b : noise) b = static_cast<std::uint8_t>(rng() & 0xFE);  // never a whole start code of 0x01
    writeRecording(dir / "noise.264", noise, true);
    writeRecording(dir / "empty.264", {}, false);
    writeRecording(dir / "ok.264", record().payload, true);
    struct Case {
        std::filesystem::path in, out;
        std::string message;
    };
    for (const Case& c : std::vector<Case>{
             {dir / "noise.264", dir / "n.mp4", (dir / "noise.264").string() + ": holds no H.264 pictures, nothing to export\n"},
             {dir / "empty.264", dir / "e.mkv", (dir / "empty.264").string() + ": holds no H.264 pictures, nothing to export\n"},
             {dir / "missing.264", dir / "m.mp4", (dir / "missing.264").string() + ": can't be read\n"},
             {dir / "ok.264", dir / "o.avi", (dir / "o.avi").string() + ": the output must end in .mp4 or .mkv\n"},
             {dir / "ok.264", dir / "nofolder" / "o.mp4", (dir / "nofolder" / "o.mp4").string() + ": can't be created\n"},
         }) {
        std::ostringstream out, err;
        EXPECT_EQ(exportRecording(c.in, c.out, out, err), 1) << c.in;
        EXPECT_EQ(err.str(), c.message);
        EXPECT_EQ(out.str(), "");
        EXPECT_FALSE(std::filesystem::exists(c.out)) << c.out;
    }
}

}  // namespace
}  // namespace pemblor::capture
