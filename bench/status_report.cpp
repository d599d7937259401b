// The status monitor's full tick and the all-devices report, against
// simulated cards, each beside the bare driver requests it sends (the same
// requests through the driver link alone), so the console's own share shows.
//   goal: a full tick (status pair, counters, 16 watch reads, seven labels) < 1 ms
//   goal: the report of 32 cards < 2 s
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <unistd.h>

#include "app/console.hpp"
#include "driver/driver_link.hpp"
#include "ui/text_host.hpp"
#include "resources/console_ids.hpp"
#include "sim/card/sim_transport.hpp"

namespace {

using namespace pemblor;
using namespace resources::console;

constexpr int kWatchLines = 16;

std::string sixteenRegisters() {
    std::string text;
    for (int i = 0; i < kWatchLines; ++i) {
        if (i) text += "\r\n";
        char line[32];
        std::snprintf(line, sizeof line, "0x%08X REG", 0x00400000 + 4 * i);
        text += line;
    }
    return text;
}

std::vector<int> cardNumbers(int n) {
    std::vector<int> v;
    for (int i = 0; i < n; ++i) v.push_back(i);
    return v;
}

// A full tick as it runs while receiving, with the channel status pair and a
// watch of sixteen registers.
void BM_FullTick(benchmark::State& state) {
    sim::SimTransport cards(sim::SimSettings::withCards({0}));
    std::ostringstream messages;
    ui::TextHost host(messages, std::filesystem::temp_directory_path());
    driver::DriverLink link(cards);
    app::Console console(host, link);
    ui::Dialog& d = console.dialog();
    d.click(kOpenDev);
    d.userSetText(kWatchAddresses, sixteenRegisters());
    d.click(kStartWatch);
    d.setChecked(kUnknownCheck, true);
    console.receptionStats().receiving = 1;
    for (auto _ : state) d.timer(kStatusTimer);
    if (d.lineCount(kWatchValues) != kWatchLines + 1) state.SkipWithError("the watch did not read 16 lines");
}
BENCHMARK(BM_FullTick)->Unit(benchmark::kMicrosecond);

// The same nineteen requests through the driver link alone.
void BM_FullTickRequestsOnly(benchmark::State& state) {
    sim::SimTransport cards(sim::SimSettings::withCards({0}));
    driver::DriverLink link(cards);
    link.openDevice(driver::DriverLink::devicePath(0));
    link.mapAddresses();
    for (auto _ : state) {
        std::array<std::uint8_t, 32> status{};
        link.channelStatus(status);
        link.acknowledgeChannelStatus(status);
        std::array<std::uint8_t, 128> counters{};
        link.deviceInfo(1, counters);
        for (int i = 0; i < kWatchLines; ++i) {
            std::array<std::uint32_t, 1> word{};
            link.readWords(1, static_cast<std::uint32_t>(0x00400000 + 4 * i), word);
        }
        benchmark::DoNotOptimize(status);
    }
    link.unmapAddresses();
    link.closeDevice();
}
BENCHMARK(BM_FullTickRequestsOnly)->Unit(benchmark::kMicrosecond);

// "4 Show all inf and save file" with AllDev over 32 cards: open, report,
// close each, then the save into a fresh log file.
void BM_AllDevicesReport(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const auto root = std::filesystem::temp_directory_path() / ("pemblor-bench-report-" + std::to_string(::getpid()));
    std::filesystem::create_directories(root);
    sim::SimTransport cards(sim::SimSettings::withCards(cardNumbers(n)));
    std::ostringstream messages;
    ui::TextHost host(messages, root);
    driver::DriverLink link(cards);
    app::Console console(host, link);
    ui::Dialog& d = console.dialog();
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove(root / "Pemblor.LOG");
        state.ResumeTiming();
        d.click(kShowAllInf);
    }
    state.counters["lines"] = static_cast<double>(d.itemCount(kOutputList));
    state.counters["log_KB"] = static_cast<double>(std::filesystem::file_size(root / "Pemblor.LOG")) / 1e3;
    std::filesystem::remove_all(root);
}
BENCHMARK(BM_AllDevicesReport)->Arg(32)->Unit(benchmark::kMillisecond);

// The requests of that report alone: per card open, identity, mapping, the
// counters, fifteen categories, unmapping and close.
void BM_AllDevicesRequestsOnly(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    sim::SimTransport cards(sim::SimSettings::withCards(cardNumbers(n)));
    driver::DriverLink link(cards);
    for (auto _ : state) {
        for (int dev = 0; dev < 32; ++dev) {
            link.openDevice(driver::DriverLink::devicePath(dev));
            if (!link.context().isOpen()) continue;
            std::array<std::uint8_t, 8> version{};
            std::array<std::uint8_t, 32> hardware{};
            std::array<std::uint8_t, 16> slot{};
            link.driverVersion(version);
            link.hardwareInfo(hardware);
            link.slotInfo(slot);
            link.mapAddresses();
            std::array<std::uint8_t, 128> counters{};
            link.deviceInfo(1, counters);
            std::array<std::uint8_t, 256> info{};
            for (std::uint32_t c = 0; c < 15; ++c) link.deviceInfo(c, info);
            benchmark::DoNotOptimize(info);
            link.unmapAddresses();
            link.closeDevice();
        }
    }
}
BENCHMARK(BM_AllDevicesRequestsOnly)->Arg(32)->Unit(benchmark::kMillisecond);

}  // namespace
