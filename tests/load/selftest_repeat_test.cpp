// A healthy card passes every check of a quick self-test twenty times in a
// row while two threads keep the processors busy: the self-test gives no
// false failure on a loaded machine.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

#include "selftest/sim_self_test.hpp"

namespace pemblor::selftest {
namespace {

constexpr int kRuns = 20;

TEST(SelfTestLoad, AHealthyCardPassesTwentyQuickRunsOnABusyMachine) {
    std::atomic<bool> done{false};
    std::vector<std::thread> load;
    for (int i = 0; i < 2; ++i) {
        load.emplace_back([&done] {
            volatile double x = 1;
            while (!done.load(std::memory_order_relaxed)) x = std::sqrt(x + 1);
        });
    }
    int falseFailures = 0;
    std::string failures;
    for (int run = 0; run < kRuns; ++run) {
        pemblor::testing::TempDir dir;
        Options options;
        options.quick = true;
        options.seconds = kQuickSeconds;
        const CheckTable table = testing::selfTestOfSimulatedCard("", options, dir);
        if (table.exitStatus() == 0) continue;
        ++falseFailures;
        for (const CheckRow& row : table.rows) {
            if (row.outcome == Outcome::kFail)
                failures += "run " + std::to_string(run) + ": " + row.name + " " + row.measured + "\n";
        }
    }
    done = true;
    for (std::thread& t : load) t.join();
    std::printf("false failures: %d of %d runs\n", falseFailures, kRuns);
    EXPECT_EQ(falseFailures, 0) << failures;
}

}  // namespace
}  // namespace pemblor::selftest
