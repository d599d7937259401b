// Appending to the console's output list through the dialog model: the list
// keeps every line, so a long session must stay cheap in time and memory.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>

#include "resources/console_ids.hpp"
#include "resources/dialogs.hpp"
#include "ui/dialog.hpp"

namespace {

using namespace pemblor;

void BM_AppendMillionLines(benchmark::State& state) {
    const int lines = static_cast<int>(state.range(0));
    std::string line(60, 'x');
    std::size_t heldBytes = 0;
    for (auto _ : state) {
        ui::Dialog dialog(resources::consoleDialog());
        // One observer, as a view or the script host would have.
        std::size_t seen = 0;
        dialog.subscribe([&seen](const ui::Change&) { ++seen; });
        for (int i = 0; i < lines; ++i) {
            // Vary the text a little, as real lines do.
            line[i % 60] = static_cast<char>('a' + i % 26);
            dialog.addItem(resources::console::kOutputList, line);
        }
        heldBytes = dialog.control(resources::console::kOutputList).items.capacityBytes();
        benchmark::DoNotOptimize(seen);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["list_MB"] = static_cast<double>(heldBytes) / 1e6;
    state.counters["peak_rss_MB"] = static_cast<double>(usage.ru_maxrss) / 1e3;
    state.SetItemsProcessed(state.iterations() * lines);
}

BENCHMARK(BM_AppendMillionLines)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
