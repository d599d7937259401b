// The card self-test on a healthy simulated card: the wall time of a quick
// run (goal: under 5 s) and of a full run (goal: its seconds of reception + 3
// s), and the processor time the self-test's own threads (the one that runs
// it and the receive thread) take while it receives (goal: under 20% of one
// core). The reference in the same run is bare reception of the same card
// for the same seconds through capture::Receiver: the least that any test
// that receives must take.
#include <benchmark/benchmark.h>
#include <dirent.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

#include "bench_support.hpp"
#include "capture/receiver.hpp"
#include "driver/card_identity.hpp"
#include "selftest/self_test.hpp"
#include "sim/card/sim_transport.hpp"
#include "sim/settings/sim_settings.hpp"
#include "ui/text_host.hpp"

namespace {

using namespace pemblor;
using Clock = std::chrono::steady_clock;

constexpr double kStreamSeconds = 5;

struct Figures {
    double quickWall = 0, fullWall = 0, fullSeconds = 0;
    double selfTestCpu = 0, referenceCpu = 0;  // percent of one core while receiving
};
Figures gFigures;

std::filesystem::path benchRoot() {
    const std::filesystem::path root = std::filesystem::temp_directory_path() / "pemblor-bench-selftest";
    std::filesystem::create_directories(root);
    return root;
}

std::unique_ptr<sim::SimTransport> healthyCard(bool inService) {
    sim::SimSettings settings = sim::SimSettings::withCards({0});
    if (inService) settings.cards.at(0).dspMode = sim::DspMode::Running;
    return std::make_unique<sim::SimTransport>(std::move(settings));
}

// The processor seconds of the receive threads, watched every few
// milliseconds: a thread's last figure stands once it has ended.
class ReceiveThreadCpu {
public:
    ReceiveThreadCpu() : watcher_([this] { watch(); }) {}
    ~ReceiveThreadCpu() {
        done_ = true;
        watcher_.join();
    }
    double seconds() {
        look();
        const std::lock_guard lock(mutex_);
        double sum = 0;
        for (const auto& [tid, s] : seen_) sum += s;
        return sum;
    }

private:
    void watch() {
        while (!done_) {
            look();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    void look() {
        DIR* tasks = opendir("/proc/self/task");
        if (!tasks) return;
        const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
        while (const dirent* e = readdir(tasks)) {
            const std::string dir = std::string("/proc/self/task/") + e->d_name;
            std::ifstream comm(dir + "/comm");
            std::string name;
            if (!std::getline(comm, name) || name != "pemblor-receive") continue;
            std::ifstream stat(dir + "/stat");
            std::string text((std::istreambuf_iterator<char>(stat)), {});
            std::istringstream fields(text.substr(text.rfind(')') + 2));
            std::string skip;
            for (int i = 0; i < 11; ++i) fields >> skip;  // state .. cmajflt
            double user = 0, system = 0;
            fields >> user >> system;
            const std::lock_guard lock(mutex_);
            seen_[e->d_name] = (user + system) / tick;
        }
        closedir(tasks);
    }
    std::atomic<bool> done_{false};
    std::mutex mutex_;
    std::map<std::string, double> seen_;
    std::thread watcher_;
};

selftest::CheckTable runOnce(bool quick, double seconds, const selftest::Hooks& hooks = {}) {
    auto cards = healthyCard(false);
    selftest::Options options;
    options.quick = quick;
    options.seconds = seconds;
    options.root = benchRoot();
    return selftest::runSelfTest(*cards, options, hooks);
}

void BM_QuickRun(benchmark::State& state) {
    runOnce(true, 1);  // the stream loops are encoded once a process, as by a first run
    for (auto _ : state) {
        const auto start = Clock::now();
        const selftest::CheckTable t = runOnce(true, selftest::kQuickSeconds);
        gFigures.quickWall = std::chrono::duration<double>(Clock::now() - start).count();
        if (t.exitStatus() != 0) state.SkipWithError("the healthy card failed");
    }
}

void BM_FullRun(benchmark::State& state) {
    for (auto _ : state) {
        const auto start = Clock::now();
        const selftest::CheckTable t = runOnce(false, selftest::kDefaultSeconds);
        gFigures.fullWall = std::chrono::duration<double>(Clock::now() - start).count();
        gFigures.fullSeconds = selftest::kDefaultSeconds;
        if (t.exitStatus() != 0) state.SkipWithError("the healthy card failed");
    }
}

// From the last boot row (reception starts) to the reception row (it has stopped).
void BM_SelfTestCpuWhileReceiving(benchmark::State& state) {
    for (auto _ : state) {
        ReceiveThreadCpu receive;
        double cpu0 = 0, recv0 = 0, cpu1 = 0, recv1 = 0;
        Clock::time_point t0, t1;
        selftest::Hooks hooks;
        hooks.row = [&](const selftest::CheckRow& row) {
            if (row.name == "boot.switches") {
                t0 = Clock::now();
                cpu0 = bench::threadCpuSeconds();
                recv0 = receive.seconds();
            } else if (row.name == "stream.reception") {
                t1 = Clock::now();
                cpu1 = bench::threadCpuSeconds();
                recv1 = receive.seconds();
            }
        };
        const selftest::CheckTable t = runOnce(false, kStreamSeconds, hooks);
        const double wall = std::chrono::duration<double>(t1 - t0).count();
        gFigures.selfTestCpu = 100 * ((cpu1 - cpu0) + (recv1 - recv0)) / wall;
        state.counters["cpu_percent"] = gFigures.selfTestCpu;
        if (t.exitStatus() != 0) state.SkipWithError("the healthy card failed");
    }
}

void BM_BareReceptionCpu(benchmark::State& state) {
    for (auto _ : state) {
        auto cards = healthyCard(true);
        driver::DriverLink link(*cards);
        link.openDevice(driver::DriverLink::devicePath(0));
        link.mapAddresses();
        ui::TextHost host(std::cerr);
        auto hub = capture::ReceptionHub::create(host, nullptr);
        hub->setSaving(true);
        ReceiveThreadCpu receive;
        {
            capture::Receiver receiver(link, hub);
            const auto t0 = Clock::now();
            const double cpu0 = bench::threadCpuSeconds();
            receiver.start(benchRoot(), 0, 0);
            std::this_thread::sleep_for(std::chrono::duration<double>(kStreamSeconds));
            receiver.stop(0);
            const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
            gFigures.referenceCpu = 100 * (bench::threadCpuSeconds() - cpu0 + receive.seconds()) / wall;
        }
        state.counters["cpu_percent"] = gFigures.referenceCpu;
        link.unmapAddresses();
        link.closeDevice();
    }
}

BENCHMARK(BM_QuickRun)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_FullRun)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_SelfTestCpuWhileReceiving)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(BM_BareReceptionCpu)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);

void summary() {
    std::printf("\n%s\n", bench::processorName().c_str());
    std::printf("quick run: %.2f s wall (goal < 5 s)\n", gFigures.quickWall);
    std::printf("full run: %.2f s wall for %.0f s of reception (goal < %.0f s)\n", gFigures.fullWall,
                gFigures.fullSeconds, gFigures.fullSeconds + 3);
    std::printf("while receiving: self-test %.1f%% of one core (goal < 20%%), bare reception %.1f%%\n",
                gFigures.selfTestCpu, gFigures.referenceCpu);
}

}  // namespace

int main(int argc, char** argv) { return pemblor::bench::runThenSummarize(argc, argv, summary); }
