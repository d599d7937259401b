#pragma once
// What the benchmark programs share: the processor's name for their
// summaries, medians, processor-time clocks, and a main that prints a
// summary of ratios against their goals after the runs.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstddef>
#include <fstream>
#include <string>
#include <vector>

namespace pemblor::bench {

// The processor's name as the system reports it: figures mean little without it.
inline std::string processorName() {
    std::ifstream info("/proc/cpuinfo");
    for (std::string line; std::getline(info, line);) {
        if (line.rfind("model name", 0) == 0) return line.substr(line.find(':') + 2);
    }
    return "unknown processor";
}

// The median of the samples; 0 for none. A shared machine preempts now and
// then, which a mean would keep.
inline double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

inline double cpuSeconds(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
// Processor time of the calling thread, and of the whole process.
inline double threadCpuSeconds() { return cpuSeconds(CLOCK_THREAD_CPUTIME_ID); }
inline double processCpuSeconds() { return cpuSeconds(CLOCK_PROCESS_CPUTIME_ID); }

// Runs the benchmarks the command line selects, then prints the summary.
inline int runThenSummarize(int argc, char** argv, void (*summary)()) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    summary();
    return 0;
}

}  // namespace pemblor::bench
