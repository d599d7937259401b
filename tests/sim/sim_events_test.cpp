#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "sim/card/sim_transport.hpp"

namespace pemblor::sim {
namespace {

using driver::WaitResult;

TEST(SimEvents, HandlesAreFreshThirtyTwoBitValues) {
    SimTransport t(SimSettings{});
    std::set<driver::EventHandle> seen;
    for (int i = 0; i < 100; ++i) {
        const driver::EventHandle e = t.createEvent();
        EXPECT_NE(e, driver::kNoEvent);
        EXPECT_NE(e, driver::kClosedEvent);
        EXPECT_TRUE(seen.insert(e).second);
        if (i % 2) {
            EXPECT_TRUE(t.closeEvent(e));
        }
    }
    EXPECT_FALSE(seen.contains(t.createEvent()));  // closed values are not handed out again at once
}

TEST(SimEvents, AutoResetReleasesOneWaitPerSignal) {
    SimTransport t(SimSettings{});
    const auto e = t.createEvent();
    EXPECT_EQ(t.waitEvent(e, 0), WaitResult::Timeout);  // created not signalled
    EXPECT_TRUE(t.signalEvent(e));
    EXPECT_TRUE(t.signalEvent(e));  // signals do not count up
    EXPECT_EQ(t.waitEvent(e, 0), WaitResult::Signalled);
    EXPECT_EQ(t.waitEvent(e, 0), WaitResult::Timeout);
    // Events are independent.
    const auto other = t.createEvent();
    t.signalEvent(other);
    EXPECT_EQ(t.waitEvent(e, 0), WaitResult::Timeout);
    EXPECT_EQ(t.waitEvent(other, 0), WaitResult::Signalled);
}

TEST(SimEvents, TimeoutWaitsAtLeastItsTime) {
    SimTransport t(SimSettings{});
    const auto e = t.createEvent();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(t.waitEvent(e, 30), WaitResult::Timeout);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}

TEST(SimEvents, SignalFromAnotherThreadWakesTheWaiter) {
    SimTransport t(SimSettings{});
    const auto e = t.createEvent();
    std::atomic<int> woken{0};
    std::thread waiter([&] {
        if (t.waitEvent(e, -1) == WaitResult::Signalled) ++woken;
    });
    t.signalEvent(e);
    waiter.join();
    EXPECT_EQ(woken.load(), 1);
}

TEST(SimEvents, OneSignalReleasesOneOfTwoWaiters) {
    SimTransport t(SimSettings{});
    const auto e = t.createEvent();
    std::atomic<int> signalled{0};
    auto wait = [&] {
        if (t.waitEvent(e, 2000) == WaitResult::Signalled) ++signalled;
    };
    std::thread a(wait), b(wait);
    t.signalEvent(e);
    // The second waiter only goes when signalled again.
    while (signalled.load() == 0) std::this_thread::yield();
    EXPECT_EQ(signalled.load(), 1);
    t.signalEvent(e);
    a.join();
    b.join();
    EXPECT_EQ(signalled.load(), 2);
}

TEST(SimEvents, ClosingWakesWaitersAndEndsTheHandle) {
    SimTransport t(SimSettings{});
    const auto e = t.createEvent();
    std::atomic<bool> failed{false};
    std::thread waiter([&] { failed = t.waitEvent(e, -1) == WaitResult::Failed; });
    // Close may come before or during the wait: either way the wait must fail.
    EXPECT_TRUE(t.closeEvent(e));
    waiter.join();
    EXPECT_TRUE(failed.load());
    EXPECT_FALSE(t.signalEvent(e));
    EXPECT_EQ(t.waitEvent(e, 0), WaitResult::Failed);
    EXPECT_FALSE(t.closeEvent(e));
    for (driver::EventHandle bad : {driver::kNoEvent, driver::kClosedEvent, 12345u}) {
        EXPECT_FALSE(t.signalEvent(bad));
        EXPECT_EQ(t.waitEvent(bad, 0), WaitResult::Failed);
        EXPECT_FALSE(t.closeEvent(bad));
    }
}

TEST(SimEvents, ATableThatIsFullRefusesMore) {
    EventTable table;
    for (std::size_t i = 0; i < EventTable::kMaxEvents; ++i) ASSERT_NE(table.create(), driver::kNoEvent);
    EXPECT_EQ(table.create(), driver::kNoEvent);
}

}  // namespace
}  // namespace pemblor::sim
