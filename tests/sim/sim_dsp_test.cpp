// The DSP's boot road through the driver requests: reset, load blocks into
// the memory the windows show, interrupt, boot time; the clock and DMA
// requests; the channel switches and what a reset does to them.
#include <chrono>
#include <thread>

#include "sim/card/sim_memory.hpp"
#include "sim_test_support.hpp"

namespace pemblor::sim::test {
namespace {

using namespace std::chrono_literals;

class SimDspRoad : public SimCardTest {
protected:
    std::uint32_t state() { return wordAt(call(driver::kDspState, {}, 4).out, 0); }
    // Word 1 of the load answer, or 0 when the request failed.
    std::uint32_t load(std::uint32_t index, std::uint32_t address, const Bytes& data) {
        Bytes in = words({index, address});
        in.insert(in.end(), data.begin(), data.end());
        const Answer a = call(driver::kDspLoadBlock, in, 8);
        if (!a.result.ok) return 0;
        EXPECT_EQ(a.result.bytes, 8u);
        EXPECT_EQ(wordAt(a.out, 0), index);
        return wordAt(a.out, 1);
    }
    bool ok(std::uint32_t code, const Bytes& in = {}) { return call(code, in, 0).result.ok; }
    // Polls as the console does, with a generous deadline; the time it took.
    std::optional<std::chrono::milliseconds> untilRunning() {
        const auto start = std::chrono::steady_clock::now();
        while (std::chrono::steady_clock::now() - start < 10s) {
            if (state() == driver::kDspRunning)
                return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
            std::this_thread::sleep_for(5ms);
        }
        return std::nullopt;
    }
};

TEST_F(SimDspRoad, BlocksLandInMemoryAndTheProgramRunsAfterItsBootTime) {
    startWith("[card 0]\nboot_ms = 150\n");
    EXPECT_EQ(state(), kDspStatePoweredUp);
    ASSERT_TRUE(ok(driver::kDspReset));
    EXPECT_EQ(state(), kDspStateHeldInReset);
    // Blocks on chip and off chip, answered with their size + 8.
    const Bytes code = {0xDE, 0xAD, 0xBE, 0xEF, 0x01};
    EXPECT_EQ(load(0, 0x400, code), 13u);
    EXPECT_EQ(load(1, 0x80100000, Bytes(4096, 0x5A)), 4104u);
    EXPECT_EQ(load(2, 0x3FFFF0, {}), 8u);  // an empty block is taken too
    EXPECT_EQ(state(), kDspStateLoaded);
    EXPECT_EQ(readBar(0, 0x400, 5), code);
    ASSERT_TRUE(writeBar(1, kDsppOffset, words({0x200})));
    EXPECT_EQ(readBar(0, 0x100FFC, 8), (Bytes{0x5A, 0x5A, 0x5A, 0x5A, 0, 0, 0, 0}));
    EXPECT_EQ(readBar(0, 0xFFFFC, 8), (Bytes{0, 0, 0, 0, 0x5A, 0x5A, 0x5A, 0x5A}));
    // Outside the DSP's memory, or a cut record: refused, and not counted.
    EXPECT_EQ(load(3, 0x01800000, {1}), 0u);
    EXPECT_EQ(load(3, 0x87FFFFFF, {1, 2}), 0u);
    EXPECT_FALSE(call(driver::kDspLoadBlock, words({4}), 8).result.ok);
    EXPECT_FALSE(call(driver::kDspLoadBlock, words({4, 0x400, 1}), 4).result.ok);
    const Answer dsp = info(2);
    EXPECT_EQ(wordAt(dsp.out, 1), 3u);     // blocks loaded
    EXPECT_EQ(wordAt(dsp.out, 2), 4101u);  // their bytes

    ASSERT_TRUE(ok(driver::kDspInterrupt));
    const auto took = untilRunning();
    ASSERT_TRUE(took.has_value()) << "state " << state();
    EXPECT_GE(took->count(), 100);  // booting takes its time (less the poll's own delay)
    EXPECT_EQ(wordAt(info(9).out, 1), driver::kDspRunning);
    // A second interrupt changes nothing; a reset stops the program.
    ASSERT_TRUE(ok(driver::kDspInterrupt));
    EXPECT_EQ(state(), driver::kDspRunning);
    ASSERT_TRUE(writeWord(1, kHdcrOffset, kHdcrWarmReset));
    EXPECT_EQ(state(), kDspStateHeldInReset);
    EXPECT_EQ(wordAt(info(2).out, 1), 0u);
}

TEST_F(SimDspRoad, WithoutABlockSinceTheResetTheDspNeverRuns) {
    startWith("[card 0]\nboot_ms = 0\n[card 1]\nboot_ms = 60000\n");
    EXPECT_EQ(load(0, 0, {1, 2, 3, 4}), 12u);
    ASSERT_TRUE(ok(driver::kDspReset));  // forgets the block
    ASSERT_TRUE(ok(driver::kDspInterrupt));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(state(), kDspStateHeldInReset);
    // Power-up without a block: the same.
    const driver::DeviceHandle other = transport_->open(pathOf(1));
    EXPECT_TRUE(call(driver::kDspInterrupt, {}, 0, other).result.ok);
    EXPECT_EQ(wordAt(call(driver::kDspState, {}, 4, other).out, 0), kDspStatePoweredUp);
    // A long boot is still booting when first asked.
    Bytes in = words({0, 0, 7});
    ASSERT_EQ(call(driver::kDspLoadBlock, in, 8, other).result.bytes, 8u);
    EXPECT_TRUE(call(driver::kDspInterrupt, {}, 0, other).result.ok);
    EXPECT_EQ(wordAt(call(driver::kDspState, {}, 4, other).out, 0), kDspStateBooting);
}

TEST_F(SimDspRoad, ClockAndDmaAreKeptUntilTheReset) {
    start(SimSettings::withCards({0}));
    EXPECT_EQ(wordAt(info(2).out, 3), 0u);
    ASSERT_TRUE(ok(driver::kSetDspTime, words({2008, 12, 31, 23, 59, 59})));
    ASSERT_TRUE(ok(driver::kSetDmaVaddr));
    ASSERT_TRUE(ok(driver::kSetDmaOaddr));
    ASSERT_TRUE(aux(words({driver::kAuxSetDmaPaddr, 0}), 0).result.ok);
    Answer dsp = info(2);
    EXPECT_EQ(wordAt(dsp.out, 3), kDmaAll);
    EXPECT_EQ(wordAt(dsp.out, 4), 1u);
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(wordAt(dsp.out, 5 + i), (std::array<std::uint32_t, 6>{2008, 12, 31, 23, 59, 59}[i]));
    // Records of the wrong shape are refused.
    EXPECT_FALSE(ok(driver::kSetDspTime, words({2008, 12, 31, 23, 59})));
    EXPECT_FALSE(ok(driver::kSetDmaVaddr, words({0})));
    EXPECT_FALSE(aux(words({driver::kAuxSetDmaPaddr, 1}), 0).result.ok);
    ASSERT_TRUE(ok(driver::kDspReset));
    dsp = info(2);
    EXPECT_EQ(wordAt(dsp.out, 3), 0u);
    EXPECT_EQ(wordAt(dsp.out, 4), 0u);
}

TEST_F(SimDspRoad, SwitchesFollowTheirRequestsAndAResetClearsThem) {
    start(SimSettings::withCards({0}));
    // 0x222480 is a channel's encoding (words 0..3), 0x22250c its pictures (words 4..7).
    ASSERT_TRUE(ok(driver::kChannelSwitch, words({3, 1})));
    ASSERT_TRUE(ok(driver::kSubChannelSwitch, words({0, 1})));
    EXPECT_EQ(call(driver::kChannelStatus, {}, 32).out, words({0, 0, 0, 1, 1, 0, 0, 0}));
    const Answer channels = info(3);
    EXPECT_EQ(wordAt(channels.out, 3 * 4 + 1), 1u);
    EXPECT_EQ(wordAt(channels.out, 0 * 4 + 2), 1u);
    ASSERT_TRUE(ok(driver::kChannelSwitch, words({3, 0})));
    EXPECT_EQ(call(driver::kChannelStatus, {}, 32).out, words({0, 0, 0, 0, 1, 0, 0, 0}));
    ASSERT_TRUE(ok(driver::kChannelSwitch, words({1, 1})));
    ASSERT_TRUE(writeWord(1, kHdcrOffset, kHdcrWarmReset));
    EXPECT_EQ(call(driver::kChannelStatus, {}, 32).out, Bytes(32, 0));
}

TEST_F(SimDspRoad, ACardInServicePowersUpRunningWithEverythingOn) {
    startWith("[card 0]\ndsp = running\n");
    EXPECT_EQ(state(), driver::kDspRunning);
    EXPECT_EQ(wordAt(info(2).out, 3), kDmaAll);
    EXPECT_EQ(call(driver::kChannelStatus, {}, 32).out, words({1, 1, 1, 1, 1, 1, 1, 1}));
    // The other card is at power-up; a reset takes this one back to the boot road.
    EXPECT_EQ(wordAt(call(driver::kDspState, {}, 4, transport_->open(pathOf(1))).out, 0), kDspStatePoweredUp);
    ASSERT_TRUE(ok(driver::kDspReset));
    EXPECT_EQ(state(), kDspStateHeldInReset);
}

}  // namespace
}  // namespace pemblor::sim::test
