// Image scrambler throughput on a 16 MiB buffer, single thread: the table
// path against the formula applied byte by byte, and against memcpy of the
// same buffer as the memory-bound ceiling.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "program/scrambler.hpp"

namespace {

constexpr std::size_t kBufferSize = 16u << 20;

std::vector<std::uint8_t> buffer() {
    std::vector<std::uint8_t> b(kBufferSize);
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 131 + (i >> 9));
    return b;
}

template <void (*Transform)(std::span<std::uint8_t>, std::uint32_t)>
void run(benchmark::State& state) {
    std::vector<std::uint8_t> b = buffer();
    for (auto _ : state) {
        Transform(b, 0);
        benchmark::DoNotOptimize(b.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(b.size()));
}

void memcpyBuffer(benchmark::State& state) {
    const std::vector<std::uint8_t> from = buffer();
    std::vector<std::uint8_t> to(from.size(), 1);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size());
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(from.size()));
}

}  // namespace

BENCHMARK(run<pemblor::program::scramble>)->Name("scramble/16MiB")->Unit(benchmark::kMillisecond);
BENCHMARK(run<pemblor::program::unscramble>)->Name("unscramble/16MiB")->Unit(benchmark::kMillisecond);
BENCHMARK(run<pemblor::program::scrambleBytewise>)->Name("scramble_bytewise/16MiB")->Unit(benchmark::kMillisecond);
BENCHMARK(run<pemblor::program::unscrambleBytewise>)->Name("unscramble_bytewise/16MiB")->Unit(benchmark::kMillisecond);
BENCHMARK(memcpyBuffer)->Name("memcpy/16MiB")->Unit(benchmark::kMillisecond);
