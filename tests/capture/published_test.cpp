// A published window object is never used after retract() returns.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "capture/published.hpp"

namespace pemblor::capture {
namespace {

struct Window {
    std::atomic<bool> alive{true};
    std::atomic<int> uses{0};
};

TEST(Published, RetractWaitsForEveryUseInProgress) {
    Published<Window> slot;
    std::atomic<bool> stop{false};
    std::atomic<int> usedAfterDeath{0};
    std::thread reader([&] {
        while (!stop.load()) {
            slot.use([&](Window& w) {
                if (!w.alive.load()) usedAfterDeath.fetch_add(1);
                w.uses.fetch_add(1);
                std::this_thread::yield();
                if (!w.alive.load()) usedAfterDeath.fetch_add(1);
            });
        }
    });
    for (int round = 0; round < 200; ++round) {
        auto window = std::make_unique<Window>();
        slot.publish(window.get());
        while (window->uses.load() == 0) std::this_thread::yield();
        slot.retract();
        window->alive.store(false);  // as the destructor would
        window.reset();
    }
    stop.store(true);
    reader.join();
    EXPECT_EQ(usedAfterDeath.load(), 0);
    EXPECT_FALSE(slot.published());
    EXPECT_FALSE(slot.use([](Window&) { FAIL() << "nothing is published"; }));
}

}  // namespace
}  // namespace pemblor::capture
