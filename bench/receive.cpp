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
#include "receive_traffic.hpp"
#include "capture/receive_dispatch.hpp"
#include "capture/reception_hub.hpp"
#include "capture/recording_set.hpp"
#include "capture/stream_walk.hpp"
#include "driver/little_endian.hpp"
#include "ui/text_host.hpp"

namespace {

using namespace pemblor;
using namespace pemblor::bench;

void receivePath(benchmark::State& state, const char* name, std::size_t runTarget) {
    Traffic traffic(runTarget);
    const std::filesystem::path folder = benchFolder("receive");
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
    const std::filesystem::path folder = benchFolder("receive");
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
    printRates("CPU");
    std::printf("Ratios (goals: at least 1 GB/s of payload and 0.8 of the plain writes):\n");
    printRatios("receive / plain write", "receive, ", "plain write, ");
}

}  // namespace

int main(int argc, char** argv) { return pemblor::bench::runThenSummarize(argc, argv, printSummary); }
