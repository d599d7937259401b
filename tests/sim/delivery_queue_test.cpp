// The card's queue: what one fetch may carry, the order each place keeps,
// and the oldest item making room when the queue is full.
#include <gtest/gtest.h>

#include "sim/production/delivery_queue.hpp"

namespace pemblor::sim {
namespace {

Delivery block(std::uint32_t stream, std::uint32_t size, std::uint32_t number) {
    return {kCodeStreamBlocks, stream, size, number, 0, false, nullptr};
}
Delivery picture(std::uint32_t code, std::uint32_t channel, std::uint32_t number) {
    return {code, channel, 1000, number, 0, false, nullptr};
}
Delivery debug(std::uint32_t number) { return {kCodeDebugRecords, 0, kDebugRecordSize, number, 0, false, nullptr}; }

struct Taken {
    std::vector<std::uint32_t> codes;                 // per record
    std::vector<std::vector<std::uint32_t>> numbers;  // per record, its items' numbers
};

Taken take(DeliveryQueue& q, std::size_t maxRecords = 8) {
    FetchPlan plan;
    plan.items.reserve(q.capacity());
    q.take(maxRecords, plan);
    Taken t;
    for (std::size_t r = 0; r < plan.recordCount; ++r) {
        t.codes.push_back(plan.records[r].code);
        t.numbers.emplace_back();
        std::size_t bytes = 0;
        for (std::size_t i = 0; i < plan.records[r].itemCount; ++i) {
            const Delivery& d = plan.items[plan.records[r].firstItem + i];
            t.numbers.back().push_back(d.number);
            bytes += d.size;
        }
        EXPECT_EQ(bytes, plan.records[r].bytes);
    }
    return t;
}

void push(DeliveryQueue& q, const Delivery& d) {
    Delivery dropped;
    EXPECT_FALSE(q.push(d, dropped));
}

TEST(DeliveryQueue, OneFetchCarriesOneRunOneDebugRunAndOnePicturePerPlace) {
    DeliveryQueue q(64);
    push(q, block(0, 100, 1));
    push(q, picture(kCodeOriginalVideo, 0, 2));
    push(q, block(4, 50, 3));
    push(q, debug(4));
    push(q, picture(kCodePreviewCif, 1, 5));
    push(q, picture(kCodeOriginalVideo, 0, 6));  // waits: the area is taken
    push(q, block(1, 70, 7));                    // joins the run although a picture waits before it
    push(q, picture(kCodePreviewQcif, 1, 8));    // waits behind 5 in channel 1's slot
    push(q, picture(kCodePreviewQcif, 2, 9));
    push(q, debug(10));
    push(q, picture(kCodeFullPreview, 3, 11));
    const Taken first = take(q);
    EXPECT_EQ(first.codes, (std::vector<std::uint32_t>{18, 17, 25, 240, 241, 247}));
    EXPECT_EQ(first.numbers, (std::vector<std::vector<std::uint32_t>>{{1, 3, 7}, {2}, {4, 10}, {5}, {9}, {11}}));
    const Taken second = take(q);
    EXPECT_EQ(second.codes, (std::vector<std::uint32_t>{17, 241}));
    EXPECT_EQ(second.numbers, (std::vector<std::vector<std::uint32_t>>{{6}, {8}}));
    EXPECT_TRUE(q.empty());
    EXPECT_TRUE(take(q).codes.empty());
}

TEST(DeliveryQueue, RecordsAndTheRunAreBounded) {
    DeliveryQueue q(64);
    // Ten pictures in ten places would need ten records; eight places exist.
    for (std::uint32_t ch = 0; ch < 4; ++ch) push(q, picture(kCodePreviewCif, ch, ch));
    push(q, picture(kCodeFullPreview, 0, 4));
    push(q, picture(kCodeOriginalVideo, 0, 5));
    push(q, debug(6));
    push(q, block(0, 8, 7));
    push(q, picture(kCodePreviewCif, 0, 8));
    EXPECT_EQ(take(q, 3).codes, (std::vector<std::uint32_t>{240, 240, 240}));  // a caller's smaller buffer
    EXPECT_EQ(take(q).codes, (std::vector<std::uint32_t>{240, 247, 17, 25, 18, 240}));
    // A run ends where the next block would pass its limit; the rest waits in order.
    const std::uint32_t big = static_cast<std::uint32_t>(kRunLimit / 2);
    push(q, block(0, big, 1));
    push(q, block(0, big, 2));
    push(q, block(0, 8, 3));  // no room left: it opens the next fetch's run
    const Taken t = take(q);
    EXPECT_EQ(t.numbers, (std::vector<std::vector<std::uint32_t>>{{1, 2}}));
    EXPECT_EQ(take(q).numbers, (std::vector<std::vector<std::uint32_t>>{{3}}));
}

TEST(DeliveryQueue, AFullQueueDropsTheOldestFirst) {
    DeliveryQueue q(4);
    Delivery dropped;
    for (std::uint32_t n = 0; n < 4; ++n) EXPECT_FALSE(q.push(debug(n), dropped));
    EXPECT_TRUE(q.push(debug(4), dropped));
    EXPECT_EQ(dropped.number, 0u);
    EXPECT_TRUE(q.push(debug(5), dropped));
    EXPECT_EQ(dropped.number, 1u);
    EXPECT_EQ(take(q).numbers, (std::vector<std::vector<std::uint32_t>>{{2, 3, 4, 5}}));
    // The ring keeps working across its wrap after a take.
    for (std::uint32_t n = 6; n < 10; ++n) EXPECT_FALSE(q.push(debug(n), dropped));
    EXPECT_EQ(take(q).numbers, (std::vector<std::vector<std::uint32_t>>{{6, 7, 8, 9}}));
}

}  // namespace
}  // namespace pemblor::sim
