// The fetch protocol with the card's own data: records wait until fetched,
// areas stay put until the next fetch, a console that drains too late loses
// the oldest items and sees the loss counted, and reception ends with its event.
#include <chrono>
#include <thread>

#include "sim/production/delivery.hpp"
#include "sim_test_support.hpp"

namespace pemblor::sim::test {
namespace {

using namespace std::chrono_literals;

class SimDelivery : public SimCardTest {
protected:
    // Reception registered; with debugOnly, every channel switched off first,
    // so that only debug records come.
    void receive(std::string_view config, bool debugOnly = false) {
        startWith(config);
        mapping_ = call(driver::kMapAddresses, {}, 64).out;
        for (std::uint32_t ch = 0; debugOnly && ch < 4; ++ch) {
            call(driver::kChannelSwitch, words({ch, 0}), 0);
            call(driver::kSubChannelSwitch, words({ch, 0}), 0);
        }
        event_ = transport_->createEvent();
        ASSERT_TRUE(call(driver::kRegisterEvent, words({event_}), 0).result.ok);
    }
    std::span<std::uint8_t> area(std::uint32_t word) { return transport_->area(handle_, wordAt(mapping_, word)); }
    // One wake-up of a receive thread: the records it fetched.
    std::vector<std::array<std::uint32_t, 4>> fetch() {
        std::vector<std::array<std::uint32_t, 4>> records;
        const Answer a = call(driver::kFetchNotifications, {}, 128);
        EXPECT_TRUE(a.result.ok);
        EXPECT_EQ(a.result.bytes % 16, 0u);
        for (std::size_t i = 0; i < a.result.bytes / 16; ++i)
            records.push_back({wordAt(a.out, i * 4), wordAt(a.out, i * 4 + 1), wordAt(a.out, i * 4 + 2),
                               wordAt(a.out, i * 4 + 3)});
        return records;
    }
    // Word w of debug record i of a code-25 record.
    std::uint32_t debugWord(const std::array<std::uint32_t, 4>& r, std::size_t i, std::size_t w) {
        return driver::loadU32(area(1), r[2] + i * kDebugRecordSize + w * 4);
    }
    // Sequence numbers of the debug records of one fetch.
    std::vector<std::uint32_t> debugNumbers(const std::vector<std::array<std::uint32_t, 4>>& records) {
        std::vector<std::uint32_t> numbers;
        for (const auto& r : records) {
            EXPECT_EQ(r[0], kCodeDebugRecords);
            EXPECT_EQ(r[2], kDebugRegionOffset);
            EXPECT_EQ(r[3], r[1] * kDebugRecordSize);
            for (std::size_t i = 0; i < r[1]; ++i) numbers.push_back(debugWord(r, i, 0));
        }
        return numbers;
    }

    Bytes mapping_;
    driver::EventHandle event_ = 0;
};

TEST_F(SimDelivery, AConsoleAtTheCardsPaceGetsEveryItemInOrder) {
    receive("[card 0]\ndsp = running\ndebug_per_s = 100\n", true);
    std::vector<std::uint32_t> numbers;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (numbers.size() < 30 && std::chrono::steady_clock::now() < deadline) {
        if (transport_->waitEvent(event_, 1000) != driver::WaitResult::Signalled) continue;
        const auto got = debugNumbers(fetch());
        numbers.insert(numbers.end(), got.begin(), got.end());
    }
    ASSERT_GE(numbers.size(), 30u);
    for (std::size_t i = 0; i < numbers.size(); ++i) ASSERT_EQ(numbers[i], i);
    EXPECT_EQ(wordAt(info(1).out, 10), 0u);  // nothing dropped
    // The area a fetch pointed at stays as it is until the next fetch.
    std::vector<std::array<std::uint32_t, 4>> last;
    while (last.empty()) {
        ASSERT_EQ(transport_->waitEvent(event_, 5000), driver::WaitResult::Signalled);
        last = fetch();
    }
    const std::uint32_t lastNumber = debugNumbers(last).back();
    const Bytes before(area(1).begin() + kDebugRegionOffset, area(1).begin() + kDebugRegionOffset + 8 * 72);
    std::this_thread::sleep_for(100ms);  // the card produces meanwhile
    EXPECT_EQ(Bytes(area(1).begin() + kDebugRegionOffset, area(1).begin() + kDebugRegionOffset + 8 * 72), before);
    EXPECT_GT(wordAt(info(1).out, 6), 0u);  // items wait for the next fetch
    ASSERT_EQ(transport_->waitEvent(event_, 5000), driver::WaitResult::Signalled);
    const auto next = debugNumbers(fetch());
    ASSERT_FALSE(next.empty());
    EXPECT_EQ(next.front(), lastNumber + 1);
}

TEST_F(SimDelivery, AConsoleThatDrainsLateLosesTheOldestAndSeesItCounted) {
    receive("[card 0]\ndsp = running\ndebug_per_s = 200\nqueue = 8\n", true);
    std::this_thread::sleep_for(400ms);  // about 80 records for a queue of 8
    const auto records = fetch();
    const auto numbers = debugNumbers(records);
    ASSERT_EQ(numbers.size(), 8u);
    const std::uint32_t lost = numbers.front();
    EXPECT_GT(lost, 0u);
    for (std::size_t i = 0; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], lost + i);
    // The records themselves and category 1 (ErrorC "D") say how much was lost.
    EXPECT_EQ(debugWord(records[0], 0, 3), lost);
    EXPECT_GE(wordAt(info(1).out, 10), lost);
}

TEST_F(SimDelivery, NothingIsProducedUntilTheProgramRunsWithDmaSet) {
    receive("[card 0]\nboot_ms = 0\ndebug_per_s = 200\n");
    ASSERT_TRUE(call(driver::kDspReset, {}, 0).result.ok);
    ASSERT_EQ(call(driver::kDspLoadBlock, words({0, 0x100, 1}), 8).result.bytes, 8u);
    ASSERT_TRUE(call(driver::kDspInterrupt, {}, 0).result.ok);
    ASSERT_TRUE(call(driver::kSetDmaVaddr, {}, 0).result.ok);
    ASSERT_TRUE(call(driver::kSetDmaOaddr, {}, 0).result.ok);
    EXPECT_EQ(transport_->waitEvent(event_, 150), driver::WaitResult::Timeout);
    EXPECT_TRUE(fetch().empty());
    ASSERT_TRUE(aux(words({driver::kAuxSetDmaPaddr, 0}), 0).result.ok);  // the last of the three
    ASSERT_EQ(transport_->waitEvent(event_, 10000), driver::WaitResult::Signalled);
    EXPECT_FALSE(fetch().empty());
}

TEST_F(SimDelivery, ClosingTheEventEndsReceptionAndCountsWhatWasLeft) {
    receive("[card 0]\ndsp = running\ndebug_per_s = 200\n");
    ASSERT_EQ(transport_->waitEvent(event_, 10000), driver::WaitResult::Signalled);
    ASSERT_TRUE(transport_->closeEvent(event_));
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (wordAt(info(1).out, 7) == 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(10ms);
    const Answer counters = info(1);
    EXPECT_GT(wordAt(counters.out, 7), 0u);  // left undelivered
    EXPECT_EQ(wordAt(counters.out, 6), 0u);  // nothing waits any more
    EXPECT_EQ(wordAt(counters.out, 10), 0u);  // and nothing counts as dropped
    EXPECT_TRUE(fetch().empty());
    // A new registration starts afresh; an unknown event is refused.
    EXPECT_FALSE(call(driver::kRegisterEvent, words({0x12345678}), 0).result.ok);
    const driver::EventHandle again = transport_->createEvent();
    ASSERT_TRUE(call(driver::kRegisterEvent, words({again}), 0).result.ok);
    ASSERT_EQ(transport_->waitEvent(again, 10000), driver::WaitResult::Signalled);
    EXPECT_FALSE(fetch().empty());
    // Closing the device's handle ends it too.
    transport_->close(handle_);
    handle_ = transport_->open(pathOf(0));
    std::this_thread::sleep_for(50ms);
    EXPECT_TRUE(fetch().empty());
}

}  // namespace
}  // namespace pemblor::sim::test
