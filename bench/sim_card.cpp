// The simulated card's own cost: one card in service (every channel on),
// drained by a minimal receive loop, for a window of wall time after its
// streams are encoded. Reports the process's CPU time as a share of one
// core and the bytes a second of each kind handed out. The window is
// PEMBLOR_SIM_LOAD_SECONDS seconds (10 unless set).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "driver/little_endian.hpp"
#include "driver/request_codes.hpp"
#include "sim/card/sim_transport.hpp"

namespace {

using namespace pemblor;

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Tally {
    double streamBytes = 0, originalBytes = 0, previewBytes = 0, fullSizeBytes = 0, debugBytes = 0;
    std::uint64_t streamsSeen = 0;  // bit per stream id that delivered a block
};

class Receiver {
public:
    explicit Receiver(sim::SimTransport& t) : t_(t), h_(t.open("\\\\.\\KSVECWDM0")) {
        std::array<std::uint8_t, 64> mapping{};
        t_.control(h_, driver::kMapAddresses, {}, mapping);
        run_ = t_.area(h_, driver::loadU32(mapping, 4));
        event_ = t_.createEvent();
        std::array<std::uint8_t, 4> in{};
        driver::storeU32(in, 0, event_);
        t_.control(h_, driver::kRegisterEvent, in, {});
    }
    void drainFor(std::chrono::duration<double> d, Tally& tally) {
        const auto end = std::chrono::steady_clock::now() + d;
        while (std::chrono::steady_clock::now() < end) {
            if (t_.waitEvent(event_, 100) != driver::WaitResult::Signalled) continue;
            std::array<std::uint8_t, 128> records{};
            const auto r = t_.control(h_, driver::kFetchNotifications, {}, records);
            for (std::size_t i = 0; i < r.bytes / 16; ++i) take(records, i, tally);
        }
    }

private:
    void take(std::span<const std::uint8_t> records, std::size_t i, Tally& tally) {
        const std::uint32_t code = driver::loadU32(records, i * 16), n = driver::loadU32(records, i * 16 + 12);
        switch (code) {
            case 18:
                tally.streamBytes += n;
                for (std::size_t at = 0; at + 8 < n;) {
                    tally.streamsSeen |= 1u << (driver::loadU32(run_, at + 4) & 7);
                    at += driver::loadU32(run_, at);
                }
                break;
            case 17: tally.originalBytes += n; break;
            case 25: tally.debugBytes += n; break;
            case 247: tally.fullSizeBytes += n; break;
            default: tally.previewBytes += n; break;
        }
    }

    sim::SimTransport& t_;
    driver::DeviceHandle h_;
    std::span<std::uint8_t> run_;
    driver::EventHandle event_;
};

void BM_CardInService(benchmark::State& state) {
    const char* env = std::getenv("PEMBLOR_SIM_LOAD_SECONDS");
    const double seconds = env ? std::atof(env) : 10.0;
    sim::SimSettings settings = sim::SimSettings::withCards({0});
    std::string error;
    sim::applySimConfigText("[card 0]\ndsp = running\nspeed = " + std::to_string(state.range(0)) + "\n", "bench",
                            settings, error);
    for (auto _ : state) {
        sim::SimTransport transport(settings);
        Receiver receiver(transport);
        Tally warmUp;
        while (warmUp.streamsSeen != 0xFF) receiver.drainFor(std::chrono::milliseconds(100), warmUp);
        Tally tally;
        const double cpu0 = cpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        receiver.drainFor(std::chrono::duration<double>(seconds), tally);
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        state.counters["cpu_share_of_one_core"] = (cpuSeconds() - cpu0) / wall;
        state.counters["stream_bytes_per_s"] = tally.streamBytes / wall;
        state.counters["orgvideo_bytes_per_s"] = tally.originalBytes / wall;
        state.counters["preview_bytes_per_s"] = tally.previewBytes / wall;
        state.counters["fullsize_bytes_per_s"] = tally.fullSizeBytes / wall;
        state.counters["debug_bytes_per_s"] = tally.debugBytes / wall;
    }
}
BENCHMARK(BM_CardInService)->Arg(1)->Arg(4)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
