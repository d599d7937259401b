// De-interlacer and chroma conversion speed, next to memcpy and a well-known
// software de-interlacer (yadif, mode 0, one thread) on the same plane.
//
// In-place work changes its input, so those benchmarks restore the picture
// before each iteration and time only the call (manual timing); memcpy is timed
// the same way so that the ratios compare like with like.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <vector>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/frame.h>
}

#include "video/chroma_422_to_420.hpp"
#include "video/deinterlace.hpp"

namespace {

using namespace pemblor::video;
using Clock = std::chrono::steady_clock;

constexpr int kW = kFullSizeWidth;
constexpr int kH = kFullSizePalHeight;
constexpr std::size_t kPlane = std::size_t{kW} * kH;  // 405,504 bytes

// A textured scene with objects that move between the two fields, as a camera
// delivers it: every moving edge combs.
const std::vector<std::uint8_t>& combedPicture() {
    static const std::vector<std::uint8_t> picture = [] {
        std::vector<std::uint8_t> p(kPlane);
        std::mt19937 rng(42);
        std::uniform_int_distribution<int> grain(-4, 4);
        struct Box {
            int x, y, w, h, vx, level;
        };
        const Box boxes[] = {{40, 60, 180, 140, 9, 230}, {300, 200, 220, 160, -7, 20},
                             {520, 40, 120, 400, 5, 180}, {100, 380, 300, 120, 12, 60}};
        for (int y = 0; y < kH; ++y) {
            const int field = y & 1;
            for (int x = 0; x < kW; ++x) {
                int v = static_cast<int>(120 + 50 * std::sin(x * 0.07) * std::cos(y * 0.05) + 0.1 * x);
                for (const Box& b : boxes) {
                    const int bx = b.x + field * b.vx;
                    if (x >= bx && x < bx + b.w && y >= b.y && y < b.y + b.h) v = b.level + ((x + y) % 16);
                }
                p[y * kW + x] = static_cast<std::uint8_t>(std::clamp(v + grain(rng), 0, 255));
            }
        }
        return p;
    }();
    return picture;
}

// Share of main-pass blocks that the de-interlacer filters in the picture.
double filteredShare() {
    std::vector<std::uint8_t> p = combedPicture();
    deinterlace(p, kW, kH, SimdLevel::Scalar);
    const auto& in = combedPicture();
    int filtered = 0;
    int blocks = 0;
    for (int y = 0; y < kH - 8; y += 8) {
        for (int x = 0; x < kW; x += 8, ++blocks) {
            bool changed = false;
            for (int dy = 1; dy < 8 && !changed; dy += 2) {
                changed = std::memcmp(&p[(y + dy) * kW + x], &in[(y + dy) * kW + x], 8) != 0;
            }
            filtered += changed;
        }
    }
    return static_cast<double>(filtered) / blocks;
}

template <class Work>
void timedInPlace(benchmark::State& state, std::vector<std::uint8_t>& work, const std::vector<std::uint8_t>& source,
                  Work&& run) {
    for (auto _ : state) {
        std::memcpy(work.data(), source.data(), source.size());
        const auto start = Clock::now();
        run();
        benchmark::ClobberMemory();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kPlane));
}

void deinterlaceAt(benchmark::State& state, SimdLevel level) {
    if (!simdLevelAvailable(level)) {
        state.SkipWithError("not available on this processor");
        return;
    }
    std::vector<std::uint8_t> work(kPlane);
    timedInPlace(state, work, combedPicture(), [&] { deinterlace(work, kW, kH, level); });
    state.counters["filtered_blocks"] = filteredShare();
}

void BM_DeinterlaceScalar(benchmark::State& state) { deinterlaceAt(state, SimdLevel::Scalar); }
void BM_DeinterlaceSse2(benchmark::State& state) { deinterlaceAt(state, SimdLevel::Sse2); }
void BM_DeinterlaceAvx2(benchmark::State& state) { deinterlaceAt(state, SimdLevel::Avx2); }
void BM_DeinterlaceAvx512(benchmark::State& state) { deinterlaceAt(state, SimdLevel::Avx512); }
// What the receive thread runs.
void BM_DeinterlaceSimd(benchmark::State& state) { deinterlaceAt(state, bestSimdLevel()); }

void memcpyTimed(benchmark::State& state, std::size_t bytes) {
    std::vector<std::uint8_t> from(combedPicture().begin(), combedPicture().begin() + bytes);
    std::vector<std::uint8_t> to(bytes);
    for (auto _ : state) {
        const auto start = Clock::now();
        std::memcpy(to.data(), from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
}

void BM_MemcpyPlane(benchmark::State& state) { memcpyTimed(state, kPlane); }

// buffer -> yadif (mode 0: one frame per frame) -> buffersink, one thread, on the gray plane.
class Yadif {
public:
    Yadif() {
        graph_ = avfilter_graph_alloc();
        graph_->nb_threads = 1;
        char args[160];
        std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=gray:time_base=1/25:pixel_aspect=1/1", kW, kH);
        AVFilterContext* yadif = nullptr;
        ok_ = avfilter_graph_create_filter(&source_, avfilter_get_by_name("buffer"), "in", args, nullptr, graph_) >= 0 &&
              avfilter_graph_create_filter(&yadif, avfilter_get_by_name("yadif"), "yadif", "mode=0", nullptr, graph_) >=
                  0 &&
              avfilter_graph_create_filter(&sink_, avfilter_get_by_name("buffersink"), "out", nullptr, nullptr, graph_) >=
                  0 &&
              avfilter_link(source_, 0, yadif, 0) >= 0 && avfilter_link(yadif, 0, sink_, 0) >= 0 &&
              avfilter_graph_config(graph_, nullptr) >= 0 && graph_->nb_filters == 3;  // no format converter
        frame_ = av_frame_alloc();
        out_ = av_frame_alloc();
        frame_->format = AV_PIX_FMT_GRAY8;
        frame_->width = kW;
        frame_->height = kH;
        ok_ = ok_ && av_frame_get_buffer(frame_, 0) >= 0;
        if (!ok_) return;
        for (int y = 0; y < kH; ++y) std::memcpy(frame_->data[0] + y * frame_->linesize[0], &combedPicture()[y * kW], kW);
        // yadif answers from the second frame on (it needs the one after).
        for (int i = 0; i < 2 && ok_; ++i) ok_ = push() && (pull() || i == 0);
    }
    ~Yadif() {
        av_frame_free(&frame_);
        av_frame_free(&out_);
        avfilter_graph_free(&graph_);
    }
    Yadif(const Yadif&) = delete;
    Yadif& operator=(const Yadif&) = delete;

    bool ok() const { return ok_; }
    bool push() {
        frame_->pts = pts_++;
        return av_buffersrc_add_frame_flags(source_, frame_, AV_BUFFERSRC_FLAG_KEEP_REF) >= 0;
    }
    bool pull() {
        const int r = av_buffersink_get_frame(sink_, out_);
        if (r < 0) return false;
        av_frame_unref(out_);
        return true;
    }

private:
    AVFilterGraph* graph_ = nullptr;
    AVFilterContext* source_ = nullptr;
    AVFilterContext* sink_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVFrame* out_ = nullptr;
    std::int64_t pts_ = 0;
    bool ok_ = false;
};

void BM_YadifMode0(benchmark::State& state) {
    Yadif yadif;
    if (!yadif.ok()) {
        state.SkipWithError("yadif graph could not be set up");
        return;
    }
    for (auto _ : state) {
        const auto start = Clock::now();
        const bool ok = yadif.push() && yadif.pull();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
        if (!ok) {
            state.SkipWithError("yadif gave no picture");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kPlane));
}

// The chroma conversion moves 575 rows of 352 bytes of a 704 x 576 picture.
constexpr std::size_t kMovedChroma = std::size_t{kH - 1} * (kW / 2);

void BM_Convert422To420(benchmark::State& state) {
    std::vector<std::uint8_t> picture(planar422Bytes(kW, kH));
    for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<std::uint8_t>(i * 7);
    for (auto _ : state) {
        // Every run moves the same rows, whatever they hold, so no restore is needed.
        const auto start = Clock::now();
        convert422To420(picture, kW, kH);
        benchmark::ClobberMemory();
        state.SetIterationTime(std::chrono::duration<double>(Clock::now() - start).count());
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kMovedChroma));
}

void BM_MemcpyMovedChroma(benchmark::State& state) { memcpyTimed(state, kMovedChroma); }

}  // namespace

BENCHMARK(BM_DeinterlaceScalar)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeinterlaceSse2)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeinterlaceAvx2)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeinterlaceAvx512)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeinterlaceSimd)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpyPlane)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_YadifMode0)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Convert422To420)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpyMovedChroma)->UseManualTime()->Unit(benchmark::kMicrosecond);
