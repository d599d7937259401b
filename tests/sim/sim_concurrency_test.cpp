// Several threads on one transport at once, as the console's interface thread
// and receive thread are. Each thread checks its own answers; the sanitizer
// build checks the rest.
#include <atomic>
#include <thread>

#include "sim_test_support.hpp"

namespace pemblor::sim::test {
namespace {

constexpr int kRounds = 300;

// Writes its own bytes into its own part of bar 0 and reads them back, with
// category reads in between.
void memoryWorker(SimTransport& t, driver::DeviceHandle h, std::uint32_t id, std::atomic<int>& errors) {
    for (int i = 0; i < kRounds; ++i) {
        const std::uint32_t offset = id * 4096 + static_cast<std::uint32_t>(i % 64) * 4;
        const std::uint32_t value = id << 24 | static_cast<std::uint32_t>(i);
        const Bytes in = words({0, offset, 1, value});
        if (!t.control(h, driver::kWriteWords, in, {}).ok) ++errors;
        Bytes out(4);
        const Bytes read = words({0, offset, 1});
        if (t.control(h, driver::kReadWords, read, out).bytes != 4 || wordAt(out, 0) != value) ++errors;
        Bytes answer(128);
        if (t.control(h, driver::kDeviceInfo, words({1, 0}), answer).bytes != 128) ++errors;
    }
}

// Maps, uses and unmaps areas through its own handle.
void mappingWorker(SimTransport& t, int card, std::atomic<int>& errors) {
    for (int i = 0; i < kRounds / 3; ++i) {
        const driver::DeviceHandle h = t.open(pathOf(card));
        Bytes record(64);
        if (t.control(h, driver::kMapAddresses, {}, record).bytes != 64) ++errors;
        auto area = t.area(h, wordAt(record, 9));
        if (area.size() != kPreviewSlotsAreaSize) ++errors;
        if (t.control(h, driver::kUnmapAddresses, record, {}).ok != true) ++errors;
        if (!t.area(h, wordAt(record, 9)).empty()) ++errors;
        if (!t.close(h)) ++errors;
    }
}

void eventWorker(SimTransport& t, std::atomic<int>& errors) {
    for (int i = 0; i < kRounds; ++i) {
        const auto e = t.createEvent();
        if (!t.signalEvent(e) || t.waitEvent(e, 1000) != driver::WaitResult::Signalled || !t.closeEvent(e))
            ++errors;
    }
}

TEST(SimConcurrency, ThreadsShareCardsHandlesAndEvents) {
    SimTransport t(SimSettings::withCards({0, 1}));
    const driver::DeviceHandle shared = t.open(pathOf(0));
    std::atomic<int> errors{0};
    std::vector<std::thread> threads;
    for (std::uint32_t id = 0; id < 3; ++id) threads.emplace_back(memoryWorker, std::ref(t), shared, id, std::ref(errors));
    threads.emplace_back(memoryWorker, std::ref(t), t.open(pathOf(1)), 3, std::ref(errors));
    threads.emplace_back(mappingWorker, std::ref(t), 0, std::ref(errors));
    threads.emplace_back(mappingWorker, std::ref(t), 1, std::ref(errors));
    threads.emplace_back(eventWorker, std::ref(t), std::ref(errors));
    for (auto& th : threads) th.join();
    EXPECT_EQ(errors.load(), 0);
}

TEST(SimConcurrency, ClosingAHandleWhileItIsInUseIsSafe) {
    SimTransport t(SimSettings::withCards({0}));
    for (int round = 0; round < 20; ++round) {
        const driver::DeviceHandle h = t.open(pathOf(0));
        std::atomic<bool> stop{false};
        std::thread user([&] {
            Bytes record(64);
            while (!stop.load()) {
                if (t.control(h, driver::kMapAddresses, {}, record).ok) t.area(h, wordAt(record, 1));
            }
        });
        std::this_thread::yield();
        EXPECT_TRUE(t.close(h));
        stop = true;
        user.join();
        // Whatever the user mapped before the close ended with it.
        Bytes record(64);
        const driver::DeviceHandle next = t.open(pathOf(0));
        ASSERT_TRUE(t.control(next, driver::kMapAddresses, {}, record).ok);
        t.close(next);
    }
}

}  // namespace
}  // namespace pemblor::sim::test
