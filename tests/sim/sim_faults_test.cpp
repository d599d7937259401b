// Faults a card can be set to show: a DSP that never runs, a load block
// taken short, a card that vanishes, malformed fetches now and then.
#include <chrono>
#include <thread>

#include "sim/production/delivery.hpp"
#include "sim/settings/sim_report.hpp"
#include "sim_test_support.hpp"

namespace pemblor::sim::test {
namespace {

using namespace std::chrono_literals;

class SimFaults : public SimCardTest {
protected:
    std::uint32_t load(std::uint32_t index, std::uint32_t address, const Bytes& data) {
        Bytes in = words({index, address});
        in.insert(in.end(), data.begin(), data.end());
        return wordAt(call(driver::kDspLoadBlock, in, 8).out, 1);
    }
    std::uint32_t state() { return wordAt(call(driver::kDspState, {}, 4).out, 0); }
};

TEST_F(SimFaults, ADspThatNeverRunsAndABlockTakenShort) {
    startWith("[card 0]\ndsp = never\nboot_ms = 0\nrefuse_block = 1\n");
    EXPECT_EQ(load(0, 0x100, {1, 2, 3, 4, 5, 6}), 14u);
    EXPECT_EQ(load(1, 0x200, {1, 2, 3, 4, 5, 6}), 10u);  // four bytes short
    EXPECT_EQ(load(2, 0x300, {7}), 9u);
    EXPECT_EQ(readBar(0, 0x200, 6), (Bytes{1, 2, 0, 0, 0, 0}));
    EXPECT_EQ(readBar(0, 0x300, 1), Bytes{7});
    ASSERT_TRUE(call(driver::kDspInterrupt, {}, 0).result.ok);
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(state(), kDspStateBooting);
}

TEST_F(SimFaults, AVanishedCardRefusesEverythingAndStopsDelivering) {
    // The card first encodes its stream loops, which takes a while under
    // ThreadSanitizer on a busy machine: room for that before it vanishes.
    const auto poweredUp = std::chrono::steady_clock::now();
    startWith("[card 0]\ndsp = running\nvanish_after_ms = 4000\ndebug_per_s = 100\n");
    const driver::EventHandle event = transport_->createEvent();
    ASSERT_TRUE(call(driver::kRegisterEvent, words({event}), 0).result.ok);
    ASSERT_EQ(transport_->waitEvent(event, 3500), driver::WaitResult::Signalled);
    EXPECT_TRUE(call(driver::kDriverVersion, {}, 8).result.ok);
    std::this_thread::sleep_until(poweredUp + 4100ms);
    for (std::uint32_t code : {driver::kDriverVersion, driver::kDspState, driver::kFetchNotifications})
        EXPECT_FALSE(call(code, {}, 128).result.ok) << std::hex << code;
    EXPECT_FALSE(transport_->open(pathOf(0)).valid());
    EXPECT_TRUE(transport_->open(pathOf(1)).valid());  // the other card is still there
    // Whatever was signalled before is taken; then the card stays silent.
    transport_->waitEvent(event, 0);
    EXPECT_EQ(transport_->waitEvent(event, 300), driver::WaitResult::Timeout);
    EXPECT_NE(simReportJson(*transport_).find("\"undelivered\": "), std::string::npos);
}

TEST_F(SimFaults, MalformedFetchesCarryNothingAndTheRealDataGoesOn) {
    startWith("[card 0]\ndsp = running\nmalformed = yes\nspeed = 4\n");
    const Bytes mapping = call(driver::kMapAddresses, {}, 64).out;
    const auto run = transport_->area(handle_, wordAt(mapping, 1));
    const driver::EventHandle event = transport_->createEvent();
    ASSERT_TRUE(call(driver::kRegisterEvent, words({event}), 0).result.ok);
    int shortHeaders = 0, longRuns = 0, sound = 0;
    const auto deadline = std::chrono::steady_clock::now() + 90s;
    while ((shortHeaders < 2 || longRuns < 2) && std::chrono::steady_clock::now() < deadline) {
        if (transport_->waitEvent(event, 1000) != driver::WaitResult::Signalled) continue;
        const Answer a = call(driver::kFetchNotifications, {}, 128);
        for (std::size_t i = 0; i < a.result.bytes / 16; ++i) {
            if (wordAt(a.out, i * 4) != kCodeStreamBlocks) continue;
            const std::uint32_t n = wordAt(a.out, i * 4 + 3);
            if (n > run.size()) {
                ++longRuns;
                EXPECT_EQ(a.result.bytes, 16u);  // alone in its fetch
                EXPECT_EQ(driver::loadU32(run, 0), 0u);
                continue;
            }
            if (driver::loadU32(run, 0) < 8) {
                ++shortHeaders;
                EXPECT_EQ(a.result.bytes, 16u);
                continue;
            }
            // A sound run walks to its end.
            std::size_t at = 0;
            while (at + 8 < n) at += driver::loadU32(run, at);
            EXPECT_EQ(at, n);
            ++sound;
        }
    }
    EXPECT_GE(shortHeaders, 2);
    EXPECT_GE(longRuns, 2);
    EXPECT_GT(sound, 40);
    const std::string report = simReportJson(*transport_);
    EXPECT_NE(report.find("\"malformed_records\": " + std::to_string(shortHeaders + longRuns)), std::string::npos)
        << report;
    EXPECT_NE(report.find("\"total\": 0,"), std::string::npos);  // nothing dropped for it
}

}  // namespace
}  // namespace pemblor::sim::test
