// Recording files read back and exported: marked blocks found by their form
// wherever the pieces split them, pictures counted, and the export played
// back by libavformat and libavcodec.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include <fstream>
#include <random>
#include <sstream>

#include "recording/marked_blocks.hpp"
#include "capture/recording_header.hpp"
#include "recording/recording_tools.hpp"
#include "support/temp_dir.hpp"
#include "driver/little_endian.hpp"
#include "sim/production/h264_encoder.hpp"

namespace pemblor::recording {

using capture::kRecordingHeaderSize;
using capture::packLocalTime;
using capture::RecordingHeader;
namespace {

using Bytes = std::vector<std::uint8_t>;
using ::testing::HasSubstr;

// Sixty pictures, GOP 25, as the card records them: a marked block (whose
// time word holds 00 00 01 as well) before each IDR picture. The first skip
// pictures are left out, as in a recording that starts within a group.
struct Recorded {
    Bytes payload, stream;
};
Recorded record(int skip = 0) {
    std::string error;
    auto encoder = sim::H264Encoder::open({}, error);
    Bytes picture(encoder->pictureSize());
    std::vector<sim::AccessUnit> units;
    for (int n = 0; n < 60; ++n) {
        for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<std::uint8_t>((i + 3 * n) * 7);
        encoder->encode(picture, units);
    }
    Recorded r;
    for (const auto& u : units) {
        if (u.pictureNumber < skip) continue;
        if (u.idr) {
            Bytes m(16, 0);
            driver::storeU32(m, 0, 0xF0010000);
            driver::storeU32(m, 4, static_cast<std::uint32_t>(u.pictureNumber));
            driver::storeU32(m, 8, 0x00010000);
            r.payload.insert(r.payload.end(), m.begin(), m.end());
        }
        r.payload.insert(r.payload.end(), u.bytes.begin(), u.bytes.end());
        r.stream.insert(r.stream.end(), u.bytes.begin(), u.bytes.end());
    }
    return r;
}

void writeRecording(const std::filesystem::path& p, const Bytes& payload, bool finished, bool header = true) {
    RecordingHeader h{packLocalTime({2026, 12, 8, 10, 30, 0, 0, 2})};
    if (finished) h.endTime = packLocalTime({2026, 12, 8, 10, 31, 5, 0, 2});
    std::ofstream out(p, std::ios::binary);
    if (header) out.write(reinterpret_cast<const char*>(h.bytes().data()), kRecordingHeaderSize);
    out.write(reinterpret_cast<const char*>(payload.data()), static_cast<std::streamsize>(payload.size()));
}

TEST(RecordingTools, MarkedBlocksAreFoundWhereverThePiecesSplitThem) {
    const Recorded r = record();
    std::mt19937 rng(3);
    for (int round = 0; round < 20; ++round) {
        Bytes out;
        std::vector<std::uint32_t> numbers;
        MarkedBlockFilter filter(
            [&](std::span<const std::uint8_t> b, std::uint64_t) { out.insert(out.end(), b.begin(), b.end()); }, 0,
            [&](auto block) { numbers.push_back(driver::loadU32(block, 4)); });
        std::uniform_int_distribution<std::size_t> size(1, round < 10 ? 20 : 5000);
        for (std::size_t at = 0, n = 0; at < r.payload.size(); at += n) {
            n = std::min(size(rng), r.payload.size() - at);
            filter.push(std::span(r.payload).subspan(at, n));
        }
        filter.push(Bytes{0x00, 0x00, 0x01, 0xF0, 1, 2});  // cut off by the end of the file: dropped too
        filter.finish();
        EXPECT_EQ(filter.markedBlocks(), 4u) << round;
        EXPECT_EQ(numbers, (std::vector<std::uint32_t>{0, 25, 50})) << round;  // the whole ones
        ASSERT_EQ(out, r.stream) << round;
    }
}

TEST(RecordingTools, InfoDecodesTheHeaderAndCountsPictures) {
    pemblor::testing::TempDir dir;
    const Recorded r = record();
    writeRecording(dir / "done.264", r.payload, true);
    writeRecording(dir / "cut.264", r.payload, false);
    writeRecording(dir / "bare.264", r.stream, false, false);
    std::ostringstream out, err;
    EXPECT_EQ(recordingInfo({dir / "done.264", dir / "cut.264", dir / "bare.264", dir / "missing.264"}, out, err), 1);
    const std::string units = "  access units:  60, IDR pictures: 3, 352 x 288\n";
    EXPECT_THAT(out.str(), HasSubstr((dir / "done.264").string() + "\n" +
                                     "  header:        recording, started 2026-12-08 10:30:00\n"
                                     "  finished:      2026-12-08 10:31:05\n"
                                     "  payload bytes: " + std::to_string(r.payload.size()) + "\n" +
                                     "  marked blocks: 3 (skipped)\n" + units));
    EXPECT_THAT(out.str(), HasSubstr("  finished:      no, cut off (the recording was not stopped)\n"));
    EXPECT_THAT(out.str(), HasSubstr("  header:        none, read as a bare H.264 stream\n  payload bytes: " +
                                     std::to_string(r.stream.size()) + "\n  marked blocks: 0 (skipped)\n" + units));
    EXPECT_EQ(err.str(), (dir / "missing.264").string() + ": can't be read: No such file or directory\n");
}

// Opens a file with libavformat, decodes every picture with libavcodec:
// "codec WxH rate packets/keys/decoded seconds".
std::string play(const std::filesystem::path& p) {
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, p.c_str(), nullptr, nullptr) < 0) return "unreadable";
    avformat_find_stream_info(fmt, nullptr);
    const AVStream* st = fmt->streams[0];
    const AVCodec* dec = avcodec_find_decoder(st->codecpar->codec_id);
    AVCodecContext* ctx = avcodec_alloc_context3(dec);
    avcodec_parameters_to_context(ctx, st->codecpar);
    avcodec_open2(ctx, dec, nullptr);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    int packets = 0, keys = 0, decoded = 0;
    std::int64_t end = 0;
    const auto drain = [&] {
        while (avcodec_receive_frame(ctx, frame) == 0) ++decoded;
    };
    for (; av_read_frame(fmt, pkt) >= 0; av_packet_unref(pkt)) {
        ++packets;
        keys += (pkt->flags & AV_PKT_FLAG_KEY) ? 1 : 0;
        end = std::max(end, pkt->pts + pkt->duration);
        avcodec_send_packet(ctx, pkt);
        drain();
    }
    avcodec_send_packet(ctx, nullptr);
    drain();
    char text[128];
    std::snprintf(text, sizeof text, "%s %dx%d %.0f %d/%d/%d %.2f", avcodec_get_name(st->codecpar->codec_id),
                  st->codecpar->width, st->codecpar->height, av_q2d(st->avg_frame_rate), packets, keys, decoded,
                  static_cast<double>(end) * av_q2d(st->time_base));
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&ctx);
    avformat_close_input(&fmt);
    return text;
}

TEST(RecordingTools, ExportPlaysBackEveryPictureOrRefusesWithAReason) {
    pemblor::testing::TempDir dir;
    writeRecording(dir / "whole.264", record().payload, true);
    writeRecording(dir / "late.264", record(10).payload, false);
    const struct {
        std::string in, out, said, played;
    } good[] = {
        {"whole.264", "a.mp4", "60 pictures (3 IDR), 352 x 288, 25 pictures/s (from the stream); left out: 3 marked blocks, 0 pictures",
         "h264 352x288 25 60/3/60 2.40"},
        {"whole.264", "a.MKV", "60 pictures (3 IDR)", "h264 352x288 25 60/3/60 2.40"},
        {"late.264", "b.mkv", "35 pictures (2 IDR), 352 x 288, 25 pictures/s (from the stream); left out: 2 marked blocks, 15 pictures",
         "h264 352x288 25 35/2/35 1.40"},
    };
    for (const auto& g : good) {
        std::ostringstream out, err;
        std::vector<double> progress;
        ASSERT_EQ(exportRecording(dir / g.in, dir / g.out, out, err, [&](double s) { progress.push_back(s); }), 0)
            << err.str();
        EXPECT_THAT(out.str(), HasSubstr((dir / g.out).string() + ": " + g.said));
        EXPECT_EQ(progress.back(), 1.0);
        EXPECT_EQ(play(dir / g.out), g.played) << g.out;
    }
    Bytes noise(100000);
    std::mt19937 rng(1);
    for (auto& b : noise) b = static_cast<std::uint8_t>(rng() & 0xFE);  // never a start code's 01
    writeRecording(dir / "noise.264", noise, true);
    const struct {
        std::string in, out, why;
    } bad[] = {{"noise.264", "n.mp4", "noise.264: holds no H.264 pictures, nothing to export"},
               {"missing.264", "m.mp4", "missing.264: can't be read: No such file or directory"},
               {"whole.264", "o.avi", "o.avi: the output must end in .mp4 or .mkv"},
               {"whole.264", "nofolder/o.mp4", "o.mp4: can't be created: No such file or directory"}};
    for (const auto& b : bad) {
        std::ostringstream out, err;
        EXPECT_EQ(exportRecording(dir / b.in, dir / b.out, out, err), 1) << b.in;
        EXPECT_THAT(err.str(), ::testing::EndsWith(b.why + "\n"));
        EXPECT_FALSE(std::filesystem::exists(dir / b.out)) << b.out;
    }
}

}  // namespace
}  // namespace pemblor::recording
