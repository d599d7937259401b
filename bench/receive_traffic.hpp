#pragma once
// What the receive-path benchmarks share: runs of stream blocks as the card
// writes them into the encoded-stream area, the files' folder, and timing
// that keeps the median of each benchmark's iterations.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "bench_support.hpp"
#include "capture/receive_dispatch.hpp"
#include "capture/recording_set.hpp"
#include "capture/stream_walk.hpp"
#include "driver/little_endian.hpp"

namespace pemblor::bench {

using Clock = std::chrono::steady_clock;

inline constexpr std::size_t kRestartBytes = 256u << 20;
inline constexpr std::size_t kLargeRun = (2u << 20) - 64;
inline constexpr std::size_t kSmallRun = 16u << 10;

struct BlockPlace {
    std::size_t slot, offset, length;  // the payload's place in the area
};

// One run of stream blocks at offset 0 of the area, as the card writes it:
// the eight streams in turn, sub-streams smaller, a 16-byte marked block now
// and then.
struct Traffic {
    std::vector<std::uint8_t> area;
    std::uint32_t runLength = 0;
    std::vector<BlockPlace> blocks;
    std::size_t payloadBytes = 0;

    explicit Traffic(std::size_t target) : area(target + 16 * 1024) {
        std::mt19937 rng(7);
        std::uniform_int_distribution<int> mainSize(2000, 12000), subSize(500, 3000), byte(0, 255);
        // Small runs get smaller blocks, so that they hold every stream.
        const int divisor = target < (1u << 20) ? 8 : 1;
        std::size_t at = 0;
        for (std::uint32_t n = 0; at < target; ++n) {
            const std::uint32_t id = n % 8;
            const bool marked = n % 50 == 0;
            const auto length =
                marked ? 16u : static_cast<std::size_t>((id < 4 ? mainSize(rng) : subSize(rng)) / divisor);
            if (at + 8 + length > target) break;
            driver::storeU32(area, at, static_cast<std::uint32_t>(length + 8));
            driver::storeU32(area, at + 4, id);
            for (std::size_t i = 0; i < length; ++i) area[at + 8 + i] = static_cast<std::uint8_t>(byte(rng));
            if (marked) driver::storeU32(area, at + 8, capture::kMarkedBlockWord);
            blocks.push_back({id, at + 8, length});
            payloadBytes += length;
            at += 8 + length;
        }
        runLength = static_cast<std::uint32_t>(at);
    }
};

inline std::filesystem::path benchFolder(const std::string& name) {
    const char* dir = std::getenv("PEMBLOR_BENCH_DIR");
    std::filesystem::path p = std::filesystem::path(dir ? dir : std::filesystem::temp_directory_path().c_str()) /
                              ("pemblor-bench-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::create_directories(p);
    return p;
}

// Median seconds per iteration by benchmark: wall time, and the CPU time of
// the thread that did the work (user and system: the writes are system time).
// On a machine shared with other work the second is the fairer figure.
struct Median {
    double wall = 0, cpu = 0;
};
inline std::map<std::string, Median>& medians() {
    static std::map<std::string, Median> m;
    return m;
}

inline std::map<std::string, std::size_t>& payloads() {
    static std::map<std::string, std::size_t> m;
    return m;
}

// Times each iteration's work alone (the files are emptied between timings)
// and keeps the median.
class IterationTimes {
public:
    explicit IterationTimes(benchmark::State& state) : state_(state) {}
    template <class Work>
    void time(Work&& work) {
        const double cpuStart = bench::threadCpuSeconds();
        const auto start = Clock::now();
        work();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        state_.SetIterationTime(seconds);
        wall_.push_back(seconds);
        cpu_.push_back(bench::threadCpuSeconds() - cpuStart);
    }
    void finish(const std::string& name, std::size_t payloadPerIteration) {
        if (wall_.empty()) return;
        medians()[name] = {bench::median(wall_), bench::median(cpu_)};
        payloads()[name] = payloadPerIteration;
        state_.SetBytesProcessed(static_cast<std::int64_t>(state_.iterations() * payloadPerIteration));
    }

private:
    benchmark::State& state_;
    std::vector<double> wall_, cpu_;
};

class NoErrors final : public capture::WriteErrorSink {
public:
    void writeFailed(const std::filesystem::path& path, int error) override {
        std::fprintf(stderr, "write failed: %s: %d\n", path.c_str(), error);
        std::abort();
    }
};

// The eight records of a fetch: one run of stream blocks, the rest empty.
inline std::array<std::uint8_t, capture::kFetchSize> fetchRecords(std::uint32_t runLength) {
    std::array<std::uint8_t, capture::kFetchSize> r{};
    driver::storeU32(r, 0, capture::kStreamBlocksReady);
    driver::storeU32(r, 12, runLength);
    return r;
}

// GB of payload a second of a benchmark's median iteration, by wall or CPU time; 0 when it did not run.
inline double payloadRate(const std::string& name, bool cpu) {
    const auto& m = medians();
    if (!m.count(name)) return 0.0;
    const double seconds = cpu ? m.at(name).cpu : m.at(name).wall;
    return seconds > 0 ? static_cast<double>(payloads().at(name)) / seconds / 1e9 : 0.0;
}

// One line per benchmark: its rates per wall and per CPU second.
inline void printRates(const char* cpuLabel) {
    std::printf("\n%s\nPayload rate, median iteration:      per wall second   per %s second\n",
                processorName().c_str(), cpuLabel);
    for (const auto& [name, _] : medians())
        std::printf("  %-32s %9.2f GB/s %11.2f GB/s\n", name.c_str(), payloadRate(name, false), payloadRate(name, true));
}

// The rate of the benchmarks named over... against those named under..., for
// both shapes and both clocks: "  label, large runs (wall time)  0.83".
inline void printRatios(const char* label, const std::string& over, const std::string& under) {
    for (const char* shape : {"large runs", "small runs"}) {
        for (const bool cpu : {false, true}) {
            const double a = payloadRate(over + shape, cpu);
            const double b = payloadRate(under + shape, cpu);
            if (a > 0 && b > 0)
                std::printf("  %s, %-10s %-14s %5.2f\n", label, shape, cpu ? "(CPU time)" : "(wall time)", a / b);
        }
    }
}

}  // namespace pemblor::bench
