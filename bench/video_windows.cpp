// The video windows' hot paths:
// - decoding: pictures per second of video::Decoder (its own thread, its input
//   queue, pictures laid out for the render ports) against a bare libavcodec
//   parse-and-decode loop over the same bytes in the same run, on the
//   simulated card's CIF main stream;
// - playing: the processor time the player takes per picture, payloads in
//   through feedStream to pictures drawn into the headless store, as a share
//   of one core at 25 pictures/s;
// - previewing: showPreviewFrame for a full-size 4:2:2 picture with
//   de-interlacing and conversion, and for a CIF picture, into the headless
//   store, and the share of one core that four CIF channels and one
//   full-size channel take at 25 pictures/s each;
// - drawing on the desktop: a picture to RGB with libswscale.
// Each benchmark keeps the median of its iterations (the machine is shared;
// the mean is pulled up by the odd preempted iteration), and the summary at
// the end gives the ratios against the goals.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

#include "bench_support.hpp"
#include "headless/frame_store.hpp"
#include "resources/dialogs.hpp"
#include "sim/production/encoded_loops.hpp"
#include "sim/settings/sim_settings.hpp"
#include "ui/dialog.hpp"
#include "ui/host.hpp"
#include "video/decoder.hpp"
#include "video/picture_rgb.hpp"
#include "video/player_window.hpp"
#include "video/preview_window.hpp"

namespace {

using namespace pemblor;
using Clock = std::chrono::steady_clock;

std::map<std::string, double>& results() {
    static std::map<std::string, double> m;
    return m;
}




// The simulated card's CIF main stream of channel 1, as it delivers it: its
// loop of two seconds (352 x 288, 25 pictures/s, 768 kbit/s, an IDR picture
// every 25), encoded by the card's encoder from its moving test scene, four
// times over (the loop joins itself), so that opening a decoder weighs no
// more than in a few seconds of playing.
struct Stream {
    std::vector<std::uint8_t> bytes;
    std::vector<std::size_t> units;
    int pictures = 0;
};

const Stream& cifStream() {
    static const Stream stream = [] {
        Stream s;
        std::string error;
        const sim::CardSettings card;
        const auto loop = sim::encodedLoop({0, 352, 288, static_cast<int>(card.fps), static_cast<int>(card.mainKbps),
                                            2 * static_cast<int>(card.fps)},
                                           error);
        if (!loop) {
            std::fprintf(stderr, "no stream: %s\n", error.c_str());
            return s;
        }
        for (int round = 0; round < 4; ++round) {
            for (const sim::AccessUnit& u : loop->units) {
                s.bytes.insert(s.bytes.end(), u.bytes.begin(), u.bytes.end());
                s.units.push_back(u.bytes.size());
            }
        }
        s.pictures = static_cast<int>(s.units.size());
        return s;
    }();
    return stream;
}

// --- decoding -------------------------------------------------------------------------

// Parser and decoder as an application would write them, in pieces of 8192.
int bareDecode(const std::vector<std::uint8_t>& padded, std::size_t size) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecContext* c = avcodec_alloc_context3(codec);
    c->thread_count = 1;
    c->flags |= AV_CODEC_FLAG_LOW_DELAY;
    AVCodecParserContext* parser = av_parser_init(AV_CODEC_ID_H264);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    avcodec_open2(c, codec, nullptr);
    int pictures = 0;
    const auto receive = [&] {
        while (avcodec_receive_frame(c, frame) == 0) {
            ++pictures;
            av_frame_unref(frame);
        }
    };
    for (std::size_t at = 0; at < size; at += video::kMaxDecoderWrite) {
        const std::uint8_t* data = padded.data() + at;
        int left = static_cast<int>(std::min(video::kMaxDecoderWrite, size - at));
        while (left > 0) {
            const int used =
                av_parser_parse2(parser, c, &pkt->data, &pkt->size, data, left, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            data += used;
            left -= used;
            if (pkt->size > 0 && avcodec_send_packet(c, pkt) >= 0) receive();
        }
    }
    av_parser_parse2(parser, c, &pkt->data, &pkt->size, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (pkt->size > 0 && avcodec_send_packet(c, pkt) >= 0) receive();
    av_frame_free(&frame);
    av_packet_free(&pkt);
    av_parser_close(parser);
    avcodec_free_context(&c);
    return pictures;
}

struct Timing {
    double wall = 0;  // seconds per picture
    double cpu = 0;   // processor seconds per picture
};

Timing timeBare(const Stream& s, const std::vector<std::uint8_t>& padded) {
    const auto start = Clock::now();
    const double cpu = bench::threadCpuSeconds();
    const int pictures = std::max(bareDecode(padded, s.bytes.size()), 1);
    return {std::chrono::duration<double>(Clock::now() - start).count() / pictures,
            (bench::threadCpuSeconds() - cpu) / pictures};
}

// Writes the stream in pieces of 8192 the way the player does; while the
// queue is full it waits for the next picture (so that every picture is
// decoded), and it waits for the last one. Processor time counts both threads.
Timing timeDecoder(const Stream& s) {
    std::mutex mutex;
    std::condition_variable decoded;
    int pictures = 0;
    video::DecodeOption option;
    option.handler = [&](std::uint32_t, const std::uint8_t*, std::uint32_t, std::uint32_t kind, std::uint32_t,
                         std::uint32_t, std::uint32_t) {
        if (kind != video::kDecodedPicture) return 0;
        {
            std::lock_guard lock(mutex);
            ++pictures;
        }
        decoded.notify_one();
        return 1;
    };
    const auto waitForPicture = [&](int atLeast) {
        std::unique_lock lock(mutex);
        decoded.wait_for(lock, std::chrono::milliseconds(5), [&] { return pictures >= atLeast; });
        return pictures;
    };
    video::FfmpegDecoders decoders;
    std::unique_ptr<video::Decoder> decoder;
    const auto start = Clock::now();
    const double cpu = bench::processCpuSeconds();
    decoders.open(option, decoder);
    decoder->start();
    int seen = 0;
    for (std::size_t at = 0; at < s.bytes.size();) {
        const std::size_t n = std::min(video::kMaxDecoderWrite, s.bytes.size() - at);
        if (decoder->write({s.bytes.data() + at, n}, false) >= 0) {
            at += n;
        } else {
            seen = waitForPicture(seen + 1);
        }
    }
    while (decoder->write({}, true) < 0) seen = waitForPicture(seen + 1);
    while (waitForPicture(s.pictures) < s.pictures) {
    }
    decoder->stop();
    return {std::chrono::duration<double>(Clock::now() - start).count() / s.pictures,
            (bench::processCpuSeconds() - cpu) / s.pictures};
}

// Both decodes in the same run, taking turns, so that whatever else the
// machine does weighs on both alike.
void BM_DecoderAgainstBareLibavcodec(benchmark::State& state) {
    const Stream& s = cifStream();
    std::vector<std::uint8_t> padded(s.bytes);
    padded.resize(s.bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    std::vector<double> bareWall, bareCpu, decoderWall, decoderCpu;
    bool bareFirst = true;
    for (auto _ : state) {
        Timing bare, ours;
        if (bareFirst) {
            bare = timeBare(s, padded);
            ours = timeDecoder(s);
        } else {
            ours = timeDecoder(s);
            bare = timeBare(s, padded);
        }
        bareFirst = !bareFirst;
        state.SetIterationTime((bare.wall + ours.wall) * s.pictures);
        bareWall.push_back(bare.wall);
        bareCpu.push_back(bare.cpu);
        decoderWall.push_back(ours.wall);
        decoderCpu.push_back(ours.cpu);
    }
    results()["bare"] = 1.0 / bench::median(bareWall);
    results()["bare cpu"] = 1.0 / bench::median(bareCpu);
    results()["decoder"] = 1.0 / bench::median(decoderWall);
    results()["decoder cpu"] = 1.0 / bench::median(decoderCpu);
    state.counters["decoder_pictures_per_s"] = results()["decoder"];
    state.counters["bare_pictures_per_s"] = results()["bare"];
}

// --- playing --------------------------------------------------------------------------

// What the windows need of a host, and nothing else.
class QuietHost final : public ui::Host {
public:
    void messageBox(ui::Dialog*, std::string_view) override {}
    std::optional<std::filesystem::path> openFile(const ui::FileRequest&) override { return {}; }
    std::optional<std::filesystem::path> saveFile(const ui::FileRequest&) override { return {}; }
    int runModal(ui::Dialog& d) override { return d.result(); }
    void setTimer(ui::Dialog&, int, int) override {}
    void killTimer(ui::Dialog&, int) override {}
    void sleep(int) override {}
    ui::LocalTime now() override { return {}; }
    const std::filesystem::path& root() const override { return root_; }
    void post(std::function<void()>) override {}

private:
    std::filesystem::path root_ = "/tmp";
};

// The player as reception drives it, at the card's pace: one access unit
// through feedStream every 40 ms for eight seconds, pictures drawn into the
// headless store. The share is the processor time of the whole process over
// the wall time.
void BM_PlayOneStream(benchmark::State& state) {
    const Stream& s = cifStream();
    QuietHost host;
    headless::FrameStore store;
    video::FfmpegDecoders decoders;
    std::vector<double> shares;
    for (auto _ : state) {
        video::PlayerWindow player(host, store, decoders);
        player.dialog().click(video::player::kStart);
        const double cpu = bench::processCpuSeconds();
        const auto start = Clock::now();
        std::size_t at = 0;
        for (std::size_t i = 0; i < s.units.size(); ++i) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(40) * i);
            player.feedStream({s.bytes.data() + at, s.units[i]});
            at += s.units[i];
        }
        std::this_thread::sleep_until(start + std::chrono::milliseconds(40) * s.units.size());
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        shares.push_back((bench::processCpuSeconds() - cpu) / seconds);
        if (player.writeFailures() > 0 || player.pictures() + 1 < static_cast<std::uint32_t>(s.pictures)) {
            state.SkipWithError("pictures were lost");
        }
        player.dialog().click(video::player::kStop);
    }
    results()["play share"] = bench::median(shares);
    state.counters["core_share_percent"] = results()["play share"] * 100;
}

// --- previewing -----------------------------------------------------------------------

std::vector<std::uint8_t> texture(std::size_t bytes) {
    std::vector<std::uint8_t> p(bytes);
    std::uint32_t x = 12345;
    for (auto& b : p) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(64 + (x >> 25));
    }
    return p;
}

// One picture of the code on channel 0, restored before each call (the window
// changes it in place); the call alone is timed.
void previewAt(benchmark::State& state, std::uint32_t code, bool deinterlace, const std::string& name) {
    QuietHost host;
    headless::FrameStore store;
    video::PreviewWindow window(host, store);
    if (deinterlace) window.dialog().click(video::preview::kDeinterlace);
    window.dialog().click(video::preview::kStart);
    const std::vector<std::uint8_t> source = texture(704 * 576 * 2);
    std::vector<std::uint8_t> picture(source.size());
    std::vector<double> times;
    for (auto _ : state) {
        std::copy(source.begin(), source.end(), picture.begin());
        const auto start = Clock::now();
        window.showPreviewFrame(0, picture, code);
        benchmark::ClobberMemory();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        times.push_back(seconds);
    }
    results()[name] = bench::median(times);
    state.counters["median_us"] = results()[name] * 1e6;
}

void BM_PreviewFullSize(benchmark::State& state) { previewAt(state, 247, true, "full"); }
void BM_PreviewCif(benchmark::State& state) { previewAt(state, 240, false, "cif"); }

// --- drawing on the desktop -----------------------------------------------------------

void rgbAt(benchmark::State& state, int w, int h, const std::string& name) {
    const std::vector<std::uint8_t> picture = texture(static_cast<std::size_t>(w) * h * 3 / 2);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(w) * h * 4);
    const std::size_t luma = static_cast<std::size_t>(w) * h;
    const video::PicturePlanes planes{picture.data(), picture.data() + luma, picture.data() + luma * 5 / 4};
    video::RgbConverter converter;
    std::vector<double> times;
    for (auto _ : state) {
        const auto start = Clock::now();
        converter.convert(planes, w, h, out.data(), w * 4, video::RgbLayout::Bgra);
        benchmark::ClobberMemory();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(seconds);
        times.push_back(seconds);
    }
    results()[name] = bench::median(times);
    state.counters["median_us"] = results()[name] * 1e6;
}

void BM_RgbCif(benchmark::State& state) { rgbAt(state, 352, 288, "rgb cif"); }
void BM_RgbFullSize(benchmark::State& state) { rgbAt(state, 704, 576, "rgb full"); }

}  // namespace

BENCHMARK(BM_DecoderAgainstBareLibavcodec)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(4);
BENCHMARK(BM_PlayOneStream)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PreviewFullSize)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PreviewCif)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RgbCif)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RgbFullSize)->UseManualTime()->Unit(benchmark::kMicrosecond);

namespace {

void printSummary() {
    auto& r = results();
    const auto get = [&](const char* k) { return r.count(k) ? r.at(k) : 0.0; };
    std::printf("\nOn %s:\n", bench::processorName().c_str());
    if (get("bare") > 0 && get("decoder") > 0) {
        std::printf("  CIF main stream, pictures per second of wall time: decoder %.0f, bare libavcodec %.0f,"
                    " ratio %.3f (goal at least 0.9)\n",
                    get("decoder"), get("bare"), get("decoder") / get("bare"));
        std::printf("  the same per second of processor time: decoder %.0f (both its threads), bare %.0f,"
                    " ratio %.3f\n",
                    get("decoder cpu"), get("bare cpu"), get("decoder cpu") / get("bare cpu"));
    }
    if (get("play share") > 0) {
        std::printf("  playing the CIF stream at 25 pictures/s: %.2f%% of a core (goal under 2%%)\n",
                    get("play share") * 100);
    }
    if (get("full") > 0 && get("cif") > 0) {
        const double share = (4 * get("cif") + get("full")) * 25 * 100;
        std::printf("  preview: full-size 4:2:2 with de-interlacing %.1f us, CIF %.1f us;"
                    " four CIF and one full-size channel at 25 pictures/s: %.2f%% of a core (goal under 10%%)\n",
                    get("full") * 1e6, get("cif") * 1e6, share);
    }
    if (get("rgb cif") > 0) {
        std::printf("  desktop drawing, to RGB with libswscale: CIF %.1f us, full-size %.1f us\n", get("rgb cif") * 1e6,
                    get("rgb full") * 1e6);
    }
}

}  // namespace

int main(int argc, char** argv) { return pemblor::bench::runThenSummarize(argc, argv, printSummary); }
