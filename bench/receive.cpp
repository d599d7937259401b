// The receive path from notification records to recording files: record
// dispatch, the stream-block walk and the writes, over in-memory areas as the
// card fills them, next to plain write() calls of the same payloads to the
// same kind of files in the same run.
//
// Two shapes of traffic: a large run (one fetch announces ~2 MB of blocks, as
// when the console catches up after a pause) and a small run (~16 KB a fetch,
// about one picture of each stream, as at the card's own pace). Files live in
// $PEMBLOR_BENCH_DIR, else the temporary folder, and are emptied every 256 MB
// so the page cache, not the disk, is measured, as during recording. Each
// benchmark keeps the median time of its iterations (a shared machine
// preempts now and then); the summary at the end gives rates and ratios.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <iostream>
#include <string>
#include <vector>

#include "bench_support.hpp"
#include "capture/receive_dispatch.hpp"
#include "capture/reception_hub.hpp"
#include "capture/recording_set.hpp"
#include "capture/stream_walk.hpp"
#include "driver/little_endian.hpp"
#include "ui/text_host.hpp"

namespace {

using namespace pemblor;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kRestartBytes = 256u << 20;
constexpr std::size_t kLargeRun = (2u << 20) - 64;
constexpr std::size_t kSmallRun = 16u << 10;

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

std::filesystem::path benchFolder() {
    const char* dir = std::getenv("PEMBLOR_BENCH_DIR");
    std::filesystem::path p = std::filesystem::path(dir ? dir : std::filesystem::temp_directory_path().c_str()) /
                              ("pemblor-bench-receive-" + std::to_string(::getpid()));
    std::filesystem::create_directories(p);
    return p;
}

// Median seconds per iteration by benchmark: wall time, and the CPU time of
// the thread that did the work (user and system: the writes are system time).
// On a machine shared with other work the second is the fairer figure.
struct Median {
    double wall = 0, cpu = 0;
};
std::map<std::string, Median>& medians() {
    static std::map<std::string, Median> m;
    return m;
}

std::map<std::string, std::size_t>& payloads() {
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
std::array<std::uint8_t, capture::kFetchSize> fetchRecords(std::uint32_t runLength) {
    std::array<std::uint8_t, capture::kFetchSize> r{};
    driver::storeU32(r, 0, capture::kStreamBlocksReady);
    driver::storeU32(r, 12, runLength);
    return r;
}

void receivePath(benchmark::State& state, const char* name, std::size_t runTarget) {
    Traffic traffic(runTarget);
    const std::filesystem::path folder = benchFolder();
    std::vector<std::uint8_t> video(4096), previews(4 * 0x31800), full(704 * 576 * 2);
    const capture::ReceiveAreas areas{traffic.area, video, previews, full};
    ui::TextHost host(std::cerr);
    const auto hub = capture::ReceptionHub::create(host, nullptr);
    hub->setSaving(true);
    NoErrors errors;
    auto files = std::make_unique<capture::RecordingSet>();
    files->open(folder, 0, 0, errors, &hub->closedFlag());
    capture::ReceiveDispatcher dispatcher(areas, *hub, *files);
    const auto records = fetchRecords(traffic.runLength);
    IterationTimes times(state);
    std::size_t written = 0;
    for (auto _ : state) {
        times.time([&] { dispatcher.dispatch(records); });
        written += traffic.payloadBytes;
        if (written >= kRestartBytes) {
            files->finish(0);
            files->open(folder, 0, 0, errors, &hub->closedFlag());
            written = 0;
        }
    }
    files->finish(0);
    times.finish(name, traffic.payloadBytes);
    std::filesystem::remove_all(folder);
}

// The same payloads with one plain write() each, to eight files of the same kind.
void plainWrites(benchmark::State& state, const char* name, std::size_t runTarget) {
    Traffic traffic(runTarget);
    const std::filesystem::path folder = benchFolder();
    std::array<int, 8> fds{};
    const auto openAll = [&] {
        for (std::size_t s = 0; s < fds.size(); ++s) {
            fds[s] = ::open((folder / ("plain" + std::to_string(s))).c_str(), O_CREAT | O_TRUNC | O_WRONLY | O_CLOEXEC,
                            0644);
        }
    };
    const auto closeAll = [&] {
        for (int fd : fds) ::close(fd);
    };
    openAll();
    IterationTimes times(state);
    std::size_t written = 0;
    for (auto _ : state) {
        times.time([&] {
            for (const BlockPlace& b : traffic.blocks) {
                if (::write(fds[b.slot], traffic.area.data() + b.offset, b.length) != static_cast<ssize_t>(b.length)) {
                    std::abort();
                }
            }
        });
        written += traffic.payloadBytes;
        if (written >= kRestartBytes) {
            closeAll();
            openAll();
            written = 0;
        }
    }
    closeAll();
    times.finish(name, traffic.payloadBytes);
    std::filesystem::remove_all(folder);
}

void BM_ReceiveLargeRun(benchmark::State& s) { receivePath(s, "receive, large runs", kLargeRun); }
void BM_PlainLargeRun(benchmark::State& s) { plainWrites(s, "plain write, large runs", kLargeRun); }
void BM_ReceiveSmallRun(benchmark::State& s) { receivePath(s, "receive, small runs", kSmallRun); }
void BM_PlainSmallRun(benchmark::State& s) { plainWrites(s, "plain write, small runs", kSmallRun); }

BENCHMARK(BM_ReceiveLargeRun)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_PlainLargeRun)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_ReceiveSmallRun)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_PlainSmallRun)->UseManualTime()->MinTime(2.0);

void printSummary() {
    const auto& m = medians();
    const auto rate = [&](const std::string& name, bool cpu) {
        if (!m.count(name)) return 0.0;
        const double seconds = cpu ? m.at(name).cpu : m.at(name).wall;
        return seconds > 0 ? static_cast<double>(payloads().at(name)) / seconds / 1e9 : 0.0;
    };
    std::printf("\nPayload rate, median iteration:      per wall second   per CPU second\n");
    for (const auto& [name, _] : m) {
        std::printf("  %-32s %9.2f GB/s %11.2f GB/s\n", name.c_str(), rate(name, false), rate(name, true));
    }
    std::printf("Ratios (goals: at least 1 GB/s of payload and 0.8 of the plain writes):\n");
    for (const char* shape : {"large runs", "small runs"}) {
        for (const bool cpu : {false, true}) {
            const double receive = rate(std::string("receive, ") + shape, cpu);
            const double plain = rate(std::string("plain write, ") + shape, cpu);
            if (receive > 0 && plain > 0) {
                std::printf("  receive / plain write, %-10s %-14s %5.2f\n", shape, cpu ? "(CPU time)" : "(wall time)",
                            receive / plain);
            }
        }
    }
}

}  // namespace

int main(int argc, char** argv) { return pemblor::bench::runThenSummarize(argc, argv, printSummary); }
