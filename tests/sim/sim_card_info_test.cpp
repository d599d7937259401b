#include <cstring>

#include "sim_test_support.hpp"

namespace pemblor::sim::test {
namespace {

class SimInfo : public SimCardTest {};

TEST_F(SimInfo, EveryCategoryAnswersUpToTheAskedSize) {
    start(SimSettings::withCards({0}));
    for (std::uint32_t c = 0; c < kCategoryCount; ++c) {
        const Answer full = info(c, 256);
        EXPECT_TRUE(full.result.ok) << c;
        EXPECT_EQ(full.result.bytes, 256u) << c;
        const Answer status = info(c, 128);  // the status monitor asks 32 words
        EXPECT_EQ(status.result.bytes, 128u) << c;
    }
    // Out-of-range categories and malformed records fail.
    EXPECT_FALSE(info(15).result.ok);
    EXPECT_FALSE(call(driver::kDeviceInfo, words({0, 1}), 256).result.ok);
    EXPECT_FALSE(call(driver::kDeviceInfo, words({0}), 256).result.ok);
    EXPECT_FALSE(call(driver::kDeviceInfo, words({0, 0, 0}), 256).result.ok);
}

TEST_F(SimInfo, CounterWordsMoveBetweenReads) {
    start(SimSettings::withCards({0}));
    Answer before = info(1, 128);
    for (int round = 0; round < 3; ++round) {
        const Answer after = info(1, 128);
        for (std::size_t w : {0, 1, 2, 3, 9, 11, 12})
            EXPECT_NE(wordAt(before.out, w), wordAt(after.out, w)) << "word " << w;
        // Word 10 counts dropped data, and nothing was dropped.
        EXPECT_EQ(wordAt(after.out, 10), 0u);
        before = after;
    }
    // Each word moves at its own pace, so a console that shows the wrong
    // word is caught: no two of the eight are equal.
    std::set<std::uint32_t> distinct;
    for (std::size_t w : {0, 1, 2, 3, 9, 10, 11, 12}) distinct.insert(wordAt(before.out, w));
    EXPECT_EQ(distinct.size(), 8u);
}

TEST_F(SimInfo, DebugCategoryCarriesATemplateAndItsThreeWords) {
    start(SimSettings::withCards({0}));
    const Answer a = info(9);
    ASSERT_EQ(a.result.bytes, 256u);
    const char* text = reinterpret_cast<const char*>(a.out.data() + 16);
    ASSERT_NE(std::memchr(text, 0, 240), nullptr);  // ends inside the answer
    EXPECT_STREQ(text, "DSP state %d, load %u%%, errors 0x%08X");
    const Answer state = call(driver::kDspState, {}, 4);
    EXPECT_EQ(wordAt(a.out, 1), wordAt(state.out, 0));
    EXPECT_EQ(wordAt(a.out, 2), 0u);  // no program runs, no load
    // The refused request above is counted among the card's errors (word 3).
    call(0x22FFF0, {}, 0);
    EXPECT_EQ(wordAt(info(9).out, 3), wordAt(a.out, 3) + 1);
}

TEST_F(SimInfo, FixedAnswersReplaceTheCategory) {
    startWith("[card 0]\ninfo.0 =\ninfo.2 = 000102030405060708090A0B0C0D0E0F10\ninfo.9 = 41\n");
    const Answer empty = info(0);
    EXPECT_TRUE(empty.result.ok);
    EXPECT_EQ(empty.result.bytes, 0u);
    EXPECT_EQ(empty.out[0], 0xEE);  // nothing written

    const Answer seventeen = info(2);
    ASSERT_EQ(seventeen.result.bytes, 17u);
    for (std::size_t i = 0; i < 17; ++i) EXPECT_EQ(seventeen.out[i], i);
    EXPECT_EQ(seventeen.out[17], 0xEE);
    // The caller's area still bounds the answer.
    EXPECT_EQ(info(2, 8).result.bytes, 8u);

    // A fixed category 9 answer is taken as it stands: no template added.
    const Answer debug = info(9);
    EXPECT_EQ(debug.result.bytes, 1u);
    EXPECT_EQ(debug.out[0], 0x41);
    // Other categories keep their own answers.
    EXPECT_EQ(info(1).result.bytes, 256u);
}

}  // namespace
}  // namespace pemblor::sim::test
