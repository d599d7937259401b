// De-interlacer and chroma conversion speed, next to memcpy and a well-known
// software de-interlacer (yadif, mode 0, one thread) on the same plane.
//
// In-place work changes its input, so those benchmarks restore the picture
// before each iteration and time only the call (manual timing); every
// benchmark is timed the same way so that the ratios compare like with like.
//
// Every buffer that is timed starts on a cache line. memcpy's speed depends on
// how its source and destination sit against cache lines: for a plane of this
// size glibc copies with `rep movsb` on AMD processors, and on some of them
// (an AVX2-only EPYC among them) that runs many times slower when the
// destination is off a line while the source is on one. Where malloc puts a
// 405,504-byte vector depends on what the program freed before (its mmap
// threshold moves), so a reference over plain vectors measured that accident
// instead of the copy; the row "memcpy, destination 16 bytes off a line"
// shows what it costs on the machine at hand.
// Each also keeps the median time of its iterations: on a machine shared with
// other work the mean is pulled up by the odd preempted iteration, the median
// is not. The summary at the end gives the medians and the ratios.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <span>
#include <random>
#include <string>
#include <vector>

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/frame.h>
}

#include "bench_support.hpp"
#include "video/chroma_422_to_420.hpp"
#include "video/deinterlace.hpp"

namespace {

using namespace pemblor::video;
namespace bench = pemblor::bench;
using Clock = std::chrono::steady_clock;

// Median microseconds per iteration, by benchmark.
std::map<std::string, double>& medians() {
    static std::map<std::string, double> m;
    return m;
}

// Times one iteration's work and remembers it for the median.
class IterationTimes {
public:
    explicit IterationTimes(benchmark::State& state) : state_(state) {}
    template <class Work>
    void time(Work&& work) {
        const auto start = Clock::now();
        work();
        benchmark::ClobberMemory();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state_.SetIterationTime(seconds);
        samples_.push_back(seconds * 1e6);
    }
    void finish(const std::string& name) {
        if (samples_.empty()) return;
        const double median = bench::median(samples_);
        state_.counters["median_us"] = median;
        medians()[name] = median;
    }

private:
    benchmark::State& state_;
    std::vector<double> samples_;
};

constexpr std::size_t kCacheLine = 64;

// Bytes that start `offset` bytes past a cache line.
class Buffer {
public:
    explicit Buffer(std::size_t bytes, std::size_t offset = 0)
        : storage_(static_cast<std::uint8_t*>(
              std::aligned_alloc(kCacheLine, (bytes + offset + kCacheLine - 1) / kCacheLine * kCacheLine))),
          data_(storage_.get() + offset),
          size_(bytes) {
        std::memset(data_, 0, size_);
    }
    std::uint8_t* data() { return data_; }
    std::span<std::uint8_t> span() { return {data_, size_}; }

private:
    struct Free {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<std::uint8_t, Free> storage_;
    std::uint8_t* data_;
    std::size_t size_;
};

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
        const Box boxes[] = {{40, 60, 180, 140, 9, 230},
                             {300, 200, 220, 160, -7, 20},
                             {520, 40, 120, 400, 5, 180},
                             {100, 380, 300, 120, 12, 60}};
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

void deinterlaceAt(benchmark::State& state, SimdLevel level, const std::string& name) {
    if (!simdLevelAvailable(level)) {
        state.SkipWithError("not available on this processor");
        return;
    }
    const std::vector<std::uint8_t>& source = combedPicture();
    Buffer work(kPlane);
    IterationTimes times(state);
    for (auto _ : state) {
        std::memcpy(work.data(), source.data(), kPlane);
        times.time([&] { deinterlace(work.span(), kW, kH, level); });
    }
    times.finish(name);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kPlane));
    state.counters["filtered_blocks"] = filteredShare();
}

void BM_DeinterlaceScalar(benchmark::State& state) {
    deinterlaceAt(state, SimdLevel::Scalar, "scalar");
}
void BM_DeinterlaceSse2(benchmark::State& state) {
    deinterlaceAt(state, SimdLevel::Sse2, "sse2");
}
void BM_DeinterlaceAvx2(benchmark::State& state) {
    deinterlaceAt(state, SimdLevel::Avx2, "avx2");
}
void BM_DeinterlaceAvx512(benchmark::State& state) {
    deinterlaceAt(state, SimdLevel::Avx512, "avx512");
}

void memcpyTimed(benchmark::State& state, std::size_t bytes, const std::string& name, std::size_t toOffset = 0) {
    Buffer from(bytes);
    std::memcpy(from.data(), combedPicture().data(), bytes);
    Buffer to(bytes, toOffset);
    IterationTimes times(state);
    for (auto _ : state) {
        times.time([&] {
            std::memcpy(to.data(), from.data(), bytes);
            benchmark::DoNotOptimize(to.data());
        });
    }
    times.finish(name);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(bytes));
}

void BM_MemcpyPlane(benchmark::State& state) {
    memcpyTimed(state, kPlane, "memcpy");
}

void BM_MemcpyPlaneOffLine(benchmark::State& state) {
    memcpyTimed(state, kPlane, "memcpy off line", 16);
}

// buffer -> yadif (mode 0: one frame per frame) -> buffersink, one thread, on the gray plane.
class Yadif {
public:
    Yadif() {
        graph_ = avfilter_graph_alloc();
        graph_->nb_threads = 1;
        char args[160];
        std::snprintf(args, sizeof args, "video_size=%dx%d:pix_fmt=gray:time_base=1/25:pixel_aspect=1/1", kW, kH);
        AVFilterContext* yadif = nullptr;
        ok_ =
            avfilter_graph_create_filter(&source_, avfilter_get_by_name("buffer"), "in", args, nullptr, graph_) >= 0 &&
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
        for (int y = 0; y < kH; ++y)
            std::memcpy(frame_->data[0] + y * frame_->linesize[0], &combedPicture()[y * kW], kW);
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
    IterationTimes times(state);
    bool ok = true;
    for (auto _ : state) {
        times.time([&] { ok = yadif.push() && yadif.pull(); });
        if (!ok) {
            state.SkipWithError("yadif gave no picture");
            break;
        }
    }
    if (ok) times.finish("yadif");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kPlane));
}

// The chroma conversion moves 575 rows of 352 bytes of a 704 x 576 picture.
constexpr std::size_t kMovedChroma = std::size_t{kH - 1} * (kW / 2);

void BM_Convert422To420(benchmark::State& state) {
    Buffer picture(planar422Bytes(kW, kH));
    for (std::size_t i = 0; i < picture.span().size(); ++i) picture.data()[i] = static_cast<std::uint8_t>(i * 7);
    IterationTimes times(state);
    // Every run moves the same rows, whatever they hold, so nothing is restored.
    for (auto _ : state) times.time([&] { convert422To420(picture.span(), kW, kH); });
    times.finish("convert");
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kMovedChroma));
}

void BM_MemcpyMovedChroma(benchmark::State& state) {
    memcpyTimed(state, kMovedChroma, "memcpy chroma");
}

}  // namespace

BENCHMARK(BM_DeinterlaceScalar)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeinterlaceSse2)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeinterlaceAvx2)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_DeinterlaceAvx512)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpyPlane)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpyPlaneOffLine)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_YadifMode0)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Convert422To420)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MemcpyMovedChroma)->UseManualTime()->Unit(benchmark::kMicrosecond);

namespace {

void printSummary() {
    const auto& m = medians();
    const auto get = [&](const char* name) { return m.count(name) ? m.at(name) : 0.0; };
    std::printf("\nMedian time per 704 x 576 picture:\n");
    const char* rows[][2] = {{"memcpy", "memcpy of the 405,504-byte plane"},
                             {"memcpy off line", "memcpy, destination 16 bytes off a line"},
                             {"scalar", "de-interlace, scalar"},
                             {"sse2", "de-interlace, SSE2"},
                             {"avx2", "de-interlace, AVX2"},
                             {"avx512", "de-interlace, AVX-512"},
                             {"yadif", "yadif mode 0, one thread"},
                             {"convert", "4:2:2 to 4:2:0 conversion"},
                             {"memcpy chroma", "memcpy of the 202,400 chroma bytes it moves"}};
    for (const auto& row : rows) {
        if (m.count(row[0])) std::printf("  %-46s %9.2f us\n", row[1], m.at(row[0]));
    }
    const std::string simd(simdLevelName(bestSimdLevel()));
    const double memcpyUs = get("memcpy");
    const double simdUs = get(simd.c_str());
    std::printf("Ratios on %s (SIMD = %s, what this machine runs):\n", bench::processorName().c_str(), simd.c_str());
    if (memcpyUs > 0 && simdUs > 0) std::printf("  SIMD / memcpy       %6.2f  (goal at most 2)\n", simdUs / memcpyUs);
    if (memcpyUs > 0 && get("avx2") > 0) std::printf("  AVX2 / memcpy       %6.2f\n", get("avx2") / memcpyUs);
    if (simdUs > 0 && get("yadif") > 0)
        std::printf("  yadif / SIMD        %6.1f  (goal at least 25)\n", get("yadif") / simdUs);
    if (get("avx2") > 0 && get("yadif") > 0) std::printf("  yadif / AVX2        %6.1f\n", get("yadif") / get("avx2"));
    if (simdUs > 0 && get("scalar") > 0) std::printf("  scalar / SIMD       %6.1f\n", get("scalar") / simdUs);
    if (get("memcpy chroma") > 0 && get("convert") > 0) {
        std::printf("  conversion / memcpy %6.2f  (goal at most 1.5)\n", get("convert") / get("memcpy chroma"));
    }
}

}  // namespace

int main(int argc, char** argv) { return pemblor::bench::runThenSummarize(argc, argv, printSummary); }
