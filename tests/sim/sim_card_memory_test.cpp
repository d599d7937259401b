// The card's memory through the driver requests: the bar 0 view paged by
// DSPP, bar 1's registers, stuck cells, the auxiliary sub-codes and the
// doorbell messages.
#include "sim/card/sim_memory.hpp"
#include "sim_test_support.hpp"

namespace pemblor::sim::test {
namespace {

class SimMemory : public SimCardTest {
protected:
    bool selectPage(std::uint32_t page) { return writeBar(1, kDsppOffset, words({page})); }
    Bytes dspField(std::uint32_t address, std::size_t length) {
        const Answer a = aux(words({driver::kAuxReadDspField, address}), length);
        return a.result.ok && a.result.bytes == length ? a.out : Bytes{};
    }
};

TEST_F(SimMemory, Bar0ShowsTheDspPageThatDsppSelects) {
    start(SimSettings::withCards({0}));
    // Page 0 (power-up) is on-chip memory at DSP address 0.
    EXPECT_EQ(readBar(1, kDsppOffset, 4), words({0}));
    ASSERT_TRUE(writeBar(0, 0x3FFFFC, {1, 2, 3, 4}));
    EXPECT_EQ(dspField(0x3FFFFC, 4), (Bytes{1, 2, 3, 4}));
    // Each external page shows its own 4 MB from 0x80000000 on.
    for (std::uint32_t i : {0u, 5u, 31u}) {
        ASSERT_TRUE(selectPage(0x200 + i));
        ASSERT_TRUE(writeBar(0, 0x10, words({0xA0000000 + i})));
    }
    for (std::uint32_t i : {0u, 5u, 31u}) {
        ASSERT_TRUE(selectPage(0x200 + i));
        EXPECT_EQ(readBar(0, 0x10, 4), words({0xA0000000 + i})) << i;
        EXPECT_EQ(dspField(0x80000010 + i * kDspPageSize, 4), words({0xA0000000 + i})) << i;
    }
    EXPECT_EQ(readBar(0, 0x14, 4), words({0}));  // never written: zeros
    // Pages the DSP does not have: bar 0 refuses both ways, bar 1 still works.
    for (std::uint32_t page : {1u, 0x1FFu, 0x220u, 0xFFFFFFFFu}) {
        ASSERT_TRUE(selectPage(page));
        EXPECT_TRUE(readBar(0, 0, 4).empty()) << page;
        EXPECT_FALSE(writeBar(0, 0, {1})) << page;
        EXPECT_EQ(readBar(1, kDsppOffset, 4), words({page}));
    }
    // The DSP address field reads across pages but never outside memory.
    EXPECT_EQ(dspField(0x803FFFFE, 4).size(), 4u);
    EXPECT_TRUE(dspField(0x3FFFFE, 4).empty());
    EXPECT_TRUE(dspField(0x87FFFFFE, 4).empty());
    EXPECT_TRUE(dspField(0x01800000, 4).empty());
    // Both resets put the view back on page 0.
    ASSERT_TRUE(selectPage(0x201));
    ASSERT_TRUE(call(driver::kDspReset, {}, 0).result.ok);
    EXPECT_EQ(readBar(1, kDsppOffset, 4), words({0}));
    ASSERT_TRUE(selectPage(0x201));
    ASSERT_TRUE(writeWord(1, kHdcrOffset, kHdcrWarmReset));
    EXPECT_EQ(readBar(1, kDsppOffset, 4), words({0}));
    EXPECT_EQ(readBar(0, 0x3FFFFC, 4), (Bytes{1, 2, 3, 4}));  // a reset keeps memory
}

TEST_F(SimMemory, EmifaRegistersKeepWhatIsWritten) {
    start(SimSettings::withCards({0}));
    const Bytes emifa = words({0x0005207C, 0xFFFFFFD3, 0xFFFFFFD3, 0, 0xFFFFFF23, 0xFFFFFF23, 0x57115000,
                               0x005DC5DC, 0x0003188B});
    Bytes record = words({1, 0, 9});
    record.insert(record.end(), emifa.begin(), emifa.end());
    ASSERT_TRUE(call(driver::kWriteWords, record, 0).result.ok);
    EXPECT_EQ(readBar(1, 0, emifa.size()), emifa);
}

TEST_F(SimMemory, StuckBytesReadTheirValueOnAndOffChip) {
    startWith("[card 0]\nstuck = 0xC05 0xFB, 0x81400003 0x5A\n");
    ASSERT_TRUE(writeBar(0, 0xC00, Bytes(1024, 0xFF)));
    Bytes expected(1024, 0xFF);
    expected[5] = 0xFB;
    EXPECT_EQ(readBar(0, 0xC00, 1024), expected);
    ASSERT_TRUE(writeBar(0, 0xC00, Bytes(1024, 0x00)));
    EXPECT_EQ(readBar(0, 0xC04, 2), (Bytes{0, 0xFB}));
    // 0x81400003 is byte 3 of external page index 5.
    ASSERT_TRUE(selectPage(0x205));
    ASSERT_TRUE(writeBar(0, 0, Bytes(8, 0)));
    EXPECT_EQ(readBar(0, 0, 8), (Bytes{0, 0, 0, 0x5A, 0, 0, 0, 0}));
    EXPECT_EQ(dspField(0x81400003, 1), Bytes{0x5A});
    ASSERT_TRUE(selectPage(0x204));
    EXPECT_EQ(readBar(0, 0, 8), Bytes(8, 0));  // the same offset of another page is sound
}

TEST_F(SimMemory, AuxiliarySubCodes) {
    start(SimSettings::withCards({0}));
    // 3 and 4: decoder registers, 16-byte answers with the value first.
    Answer reg = aux(words({3, 0, 0x10}), 16);
    ASSERT_EQ(reg.result.bytes, 16u);
    const std::uint32_t powerUp = wordAt(reg.out, 0);
    EXPECT_EQ(wordAt(reg.out, 1), 0x10u);
    EXPECT_NE(powerUp, wordAt(aux(words({3, 0, 0x11}), 16).out, 0));
    EXPECT_TRUE(aux(words({4, 0, 0x10, 0x04030201}), 0).result.ok);
    EXPECT_EQ(wordAt(aux(words({3, 0, 0x10}), 16).out, 0), 0x04030201u);
    EXPECT_TRUE(aux(words({3, 0, 255}), 16).result.ok);
    // 9: physical memory, each word its own address, nothing at or above 4 GiB.
    const Answer phys = aux(words({9, 0x12340FFC}), 8);
    ASSERT_EQ(phys.result.bytes, 8u);
    EXPECT_EQ(phys.out, words({0x12340FFC, 0x12341000}));
    EXPECT_EQ(aux(words({9, 0x12340FFD}), 2).out, (Bytes{0x0F, 0x34}));
    EXPECT_TRUE(aux(words({9, 0xFFFFFFF0}), 16).result.ok);
    // 13 and 14: the original-video area at an offset; 14's bytes travel in the output area.
    const std::uint32_t lastByte = 704 * 576 * 2 - 1;
    Answer write = aux(words({14, lastByte - 3}), 4);
    write.out = {9, 8, 7, 6};
    write.result = transport_->control(handle_, driver::kAuxCommand, words({14, lastByte - 3}), write.out);
    EXPECT_EQ(write.result.bytes, 4u);
    EXPECT_EQ(write.out, (Bytes{9, 8, 7, 6}));
    EXPECT_EQ(aux(words({13, lastByte - 3}), 4).out, (Bytes{9, 8, 7, 6}));
    // Any other number is a debug command {n, 0}.
    EXPECT_TRUE(aux(words({0x55, 0}), 0).result.ok);
    EXPECT_TRUE(aux(words({12, 0}), 0).result.ok);

    // Refusals: outside a register file, memory or area, or a record of the wrong shape.
    const struct {
        Bytes record;
        std::size_t out;
    } refused[] = {
        {words({3, 0, 256}), 16}, {words({3, 0, 0}), 15},   {words({3, 0}), 16},
        {words({4, 0, 256, 1}), 0}, {words({4, 0, 1}), 0},  {words({9, 0xFFFFFFF1}), 16},
        {words({9}), 4},          {words({10, 0x400000}), 1}, {words({13, lastByte}), 2},
        {words({13, 0xFFFFFFFF}), 1}, {words({14, lastByte + 1}), 1}, {words({0x55, 1}), 0},
        {words({0x55}), 0},       {Bytes{1, 0}, 0},
    };
    for (const auto& r : refused) {
        const Answer a = aux(r.record, r.out);
        EXPECT_FALSE(a.result.ok) << ::testing::PrintToString(r.record);
        EXPECT_EQ(a.out, Bytes(r.out, 0xEE)) << "a refused read leaves the buffer alone";
    }
}

TEST_F(SimMemory, DoorbellsRecordTheMessageInCategory12) {
    start(SimSettings::withCards({0}));
    EXPECT_EQ(wordAt(info(12).out, 0), 0u);  // no message yet
    // Send to DSP: page 0x200, message at 0x20, count at 0, HDCR 2.
    ASSERT_TRUE(selectPage(0x200));
    ASSERT_TRUE(writeBar(0, 0x20, {1, 2, 3, 4, 5, 6, 7, 8}));
    ASSERT_TRUE(writeBar(0, 0, words({8})));
    ASSERT_TRUE(writeBar(1, kHdcrOffset, words({kHdcrDspInterrupt})));
    Answer c = info(12);
    EXPECT_EQ(wordAt(c.out, 0), 1u);  // from the console to the DSP
    EXPECT_EQ(wordAt(c.out, 1), 8u);
    EXPECT_EQ(wordAt(c.out, 2), 1u);
    EXPECT_EQ(Bytes(c.out.begin() + 16, c.out.begin() + 26), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 0, 0}));
    // The doorbell is what counts: writing the count alone records nothing.
    ASSERT_TRUE(writeBar(0, 0xA020, {0xAA, 0xBB, 0xCC}));
    ASSERT_TRUE(writeBar(0, 0xA000, words({3})));
    EXPECT_EQ(wordAt(info(12).out, 2), 1u);
    // Send to PCI: RSTSRC 8.
    ASSERT_TRUE(writeBar(1, kRstsrcOffset, words({kRstsrcPciInterrupt})));
    c = info(12);
    EXPECT_EQ(wordAt(c.out, 0), 2u);
    EXPECT_EQ(wordAt(c.out, 1), 3u);
    EXPECT_EQ(wordAt(c.out, 2), 2u);
    EXPECT_EQ(Bytes(c.out.begin() + 16, c.out.begin() + 20), (Bytes{0xAA, 0xBB, 0xCC, 0}));
    // A count beyond 512 is shown as found; the card reads no more than 512 bytes.
    ASSERT_TRUE(writeBar(0, 0, words({0xFFFFFFFF})));
    ASSERT_TRUE(writeWord(1, kHdcrOffset, kHdcrDspInterrupt));
    c = info(12);
    EXPECT_EQ(wordAt(c.out, 1), 0xFFFFFFFFu);
    EXPECT_EQ(c.out[16], 1);
    // A zero-byte message after a longer one shows no stale bytes.
    ASSERT_TRUE(writeBar(0, 0, words({0})));
    ASSERT_TRUE(writeWord(1, kHdcrOffset, kHdcrDspInterrupt));
    c = info(12);
    EXPECT_EQ(wordAt(c.out, 1), 0u);
    EXPECT_EQ(Bytes(c.out.begin() + 16, c.out.begin() + 24), Bytes(8, 0));
}

}  // namespace
}  // namespace pemblor::sim::test
