// The receive path with --record-traffic on against the same path without
// it, in the same run: each iteration fetches one run of stream blocks from a
// card (an in-memory one that answers at once) and dispatches it into the
// eight recording files, as the receive thread does. With the recorder in
// the chain, every fetch is also written to the replay file and its data
// file, by the recorder's own thread; the receive thread waits for it only
// when it comes back for the next fetch before that write is done.
//
// The shapes of bench_receive: large runs (~2 MB a fetch) and small runs
// (~16 KB). Files live in $PEMBLOR_BENCH_DIR, else the temporary folder, and
// start afresh every 256 MB, so the page cache, not the disk, is measured.
// Goal: the recorded path at least 0.9 of the plain one.
#include <benchmark/benchmark.h>

#include <iostream>
#include <memory>

#include "capture/reception_hub.hpp"
#include "driver/request_codes.hpp"
#include "driver/traffic_recording_transport.hpp"
#include "receive_traffic.hpp"
#include "ui/text_host.hpp"

namespace {

using namespace pemblor;
using namespace pemblor::bench;

// A card whose every fetch announces the same run in its encoded-stream area.
class InstantCard final : public driver::Transport {
public:
    InstantCard(Traffic& traffic, const capture::ReceiveAreas& areas) : traffic_(traffic), areas_(areas) {}

    driver::DeviceHandle open(std::string_view) override { return {1}; }
    driver::ControlResult control(driver::DeviceHandle, std::uint32_t code, std::span<const std::uint8_t>,
                                  std::span<std::uint8_t> out) override {
        if (code == driver::kMapAddresses) {
            for (std::uint32_t word : {1u, 5u, 9u, 13u}) driver::storeU32(out, word * 4, word);
            return {true, 64};
        }
        if (code != driver::kFetchNotifications) return {true, 0};
        const auto records = fetchRecords(traffic_.runLength);
        std::copy_n(records.begin(), capture::kRecordSize, out.begin());
        return {true, static_cast<std::uint32_t>(capture::kRecordSize)};
    }
    bool close(driver::DeviceHandle) override { return true; }
    driver::EventHandle createEvent() override { return 1; }
    bool signalEvent(driver::EventHandle) override { return true; }
    driver::WaitResult waitEvent(driver::EventHandle, int) override { return driver::WaitResult::Signalled; }
    bool closeEvent(driver::EventHandle) override { return true; }
    std::span<std::uint8_t> area(driver::DeviceHandle, std::uint32_t word) override {
        switch (word) {
            case 1: return areas_.stream;
            case 5: return areas_.video;
            case 9: return areas_.previewSlots;
            case 13: return areas_.fullPreview;
            default: return {};
        }
    }

private:
    Traffic& traffic_;
    capture::ReceiveAreas areas_;
};

// The transport the receive path talks to: the card alone, or the recorder over it.
struct Chain {
    Chain(InstantCard& card, const std::filesystem::path& folder, bool recorded) : card_(card) {
        if (recorded) {
            std::string error;
            recorder_ = driver::TrafficRecordingTransport::create(card, {folder / "traffic.rpl", 1ull << 40}, std::cerr,
                                                                  error);
            if (!recorder_) std::abort();
        }
        driver::Transport& t = top();
        handle_ = t.open("\\\\.\\KSVECWDM0");
        std::array<std::uint8_t, 64> mapping{};
        t.control(handle_, driver::kMapAddresses, {}, mapping);
        std::array<std::uint8_t, 4> event{};
        driver::storeU32(event, 0, 1);
        t.control(handle_, driver::kRegisterEvent, event, {});
    }
    driver::Transport& top() { return recorder_ ? static_cast<driver::Transport&>(*recorder_) : card_; }
    void fetch(std::span<std::uint8_t> records) { top().control(handle_, driver::kFetchNotifications, {}, records); }

    InstantCard& card_;
    std::unique_ptr<driver::TrafficRecordingTransport> recorder_;
    driver::DeviceHandle handle_;
};

void receive(benchmark::State& state, const char* name, std::size_t runTarget, bool recorded) {
    Traffic traffic(runTarget);
    const std::filesystem::path folder = benchFolder("record-traffic");
    std::vector<std::uint8_t> video(4096), previews(4 * 0x31800), full(704 * 576 * 2);
    const capture::ReceiveAreas areas{traffic.area, video, previews, full};
    InstantCard card(traffic, areas);
    ui::TextHost host(std::cerr);
    const auto hub = capture::ReceptionHub::create(host, nullptr);
    hub->setSaving(true);
    NoErrors errors;
    auto files = std::make_unique<capture::RecordingSet>();
    files->open(folder, 0, 0, errors, &hub->closedFlag());
    capture::ReceiveDispatcher dispatcher(areas, *hub, *files);
    auto chain = std::make_unique<Chain>(card, folder, recorded);
    std::array<std::uint8_t, capture::kFetchSize> records{};
    IterationTimes times(state);
    std::size_t written = 0;
    for (auto _ : state) {
        times.time([&] {
            records.fill(0);
            chain->fetch(records);
            dispatcher.dispatch(records);
        });
        written += traffic.payloadBytes;
        if (written >= kRestartBytes) {
            files->finish(0);
            chain.reset();  // the recorder's files close with it
            files->open(folder, 0, 0, errors, &hub->closedFlag());
            chain = std::make_unique<Chain>(card, folder, recorded);
            written = 0;
        }
    }
    chain.reset();
    files->finish(0);
    times.finish(name, traffic.payloadBytes);
    std::filesystem::remove_all(folder);
}

void BM_PlainLargeRun(benchmark::State& s) { receive(s, "receive, large runs", kLargeRun, false); }
void BM_RecordedLargeRun(benchmark::State& s) { receive(s, "receive recorded, large runs", kLargeRun, true); }
void BM_PlainSmallRun(benchmark::State& s) { receive(s, "receive, small runs", kSmallRun, false); }
void BM_RecordedSmallRun(benchmark::State& s) { receive(s, "receive recorded, small runs", kSmallRun, true); }

BENCHMARK(BM_PlainLargeRun)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_RecordedLargeRun)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_PlainSmallRun)->UseManualTime()->MinTime(2.0);
BENCHMARK(BM_RecordedSmallRun)->UseManualTime()->MinTime(2.0);

void printSummary() {
    printRates("receive-thread CPU");
    std::printf("Ratios (goal: recorded at least 0.9 of plain):\n");
    printRatios("recorded / plain", "receive recorded, ", "receive, ");
}

}  // namespace

int main(int argc, char** argv) { return pemblor::bench::runThenSummarize(argc, argv, printSummary); }
