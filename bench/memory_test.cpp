// The memory test against a simulated card: 836 requests moving 641 KiB, plus
// the 100 ms the DSP is given after its reset. Measured with that wait (what
// the operator waits for) and without it (the requests alone).
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "driver/driver_link.hpp"
#include "memory/memory_test.hpp"
#include "sim/settings/sim_settings.hpp"
#include "sim/card/sim_transport.hpp"

namespace {

using namespace pemblor;

// A host whose sleeps are real or skipped; nothing else is asked of it.
class BenchHost final : public ui::Host {
public:
    explicit BenchHost(bool realSleeps) : realSleeps_(realSleeps) {}
    void messageBox(ui::Dialog*, std::string_view) override {}
    std::optional<std::filesystem::path> openFile(const ui::FileRequest&) override { return std::nullopt; }
    std::optional<std::filesystem::path> saveFile(const ui::FileRequest&) override { return std::nullopt; }
    int runModal(ui::Dialog&) override { return 0; }
    void setTimer(ui::Dialog&, int, int) override {}
    void killTimer(ui::Dialog&, int) override {}
    void sleep(int ms) override {
        if (realSleeps_) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
    ui::LocalTime now() override { return {}; }
    const std::filesystem::path& root() const override { return root_; }
    void post(std::function<void()>) override {}

private:
    bool realSleeps_;
    std::filesystem::path root_;
};

void runTest(benchmark::State& state, bool realSleeps) {
    sim::SimTransport transport(sim::SimSettings::withCards({0}));
    driver::DriverLink link(transport);
    link.openDevice(driver::DriverLink::devicePath(0));
    BenchHost host(realSleeps);
    std::size_t lines = 0;
    const common::LineSink sink = [&lines](std::string_view) { ++lines; };
    for (auto _ : state) {
        if (!memory::runMemoryTest(link, host, sink)) state.SkipWithError("the simulated card failed the test");
    }
    state.counters["lines"] = static_cast<double>(lines) / static_cast<double>(state.iterations());
    state.SetItemsProcessed(state.iterations() * 836);  // requests
}

void BM_MemoryTestWhole(benchmark::State& state) { runTest(state, true); }
void BM_MemoryTestRequestsOnly(benchmark::State& state) { runTest(state, false); }

BENCHMARK(BM_MemoryTestWhole)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MemoryTestRequestsOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
