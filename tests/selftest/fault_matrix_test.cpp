// The fault matrix: for each fault a simulated card can be given, the
// self-test fails exactly the checks that fault explains, skips exactly those
// it makes meaningless, and passes every other one; a healthy card passes all.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>
#include <vector>

#include "sim_self_test.hpp"

namespace pemblor::selftest {
namespace {

constexpr std::size_t kRowCount = 42;

struct FaultCase {
    const char* name;
    const char* settings;               // of [card 0]
    std::vector<std::string> failed;    // names; one ending in '.' names every row it starts
    std::vector<std::string> skipped;
    const char* meaning = "";           // found in the first failure's meaning
    double seconds = 1.5;               // of reception
    bool reboot = false;
};

// Every row of the stream group but reception itself.
const std::vector<std::string> kStreamAfterReception = {"stream.decode.", "stream.rate.",    "stream.dropped",
                                                        "stream.written", "stream.previews", "stream.fullsize",
                                                        "stream.debug"};
const std::vector<std::string> kNoStream = {"stream.", "close.reception"};
const std::vector<std::string> kInService = {"memory.onchip", "memory.external", "boot.reset",   "boot.load",
                                             "boot.interrupt", "boot.dma",       "boot.switches", "close.channels"};

std::vector<std::string> joined(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const FaultCase kCases[] = {
    {"Healthy", "", {}, {}},
    {"InService", "dsp = running", {}, kInService},
    {"InServiceRebooted", "dsp = running", {}, {"close.channels"}, "", 1.5, true},
    {"StuckMemory", "stuck = 0xC05 0xFB, 0x81400003 0", {"memory.onchip", "memory.external"}, {},
     "byte 0x00000C05 reads FB after writing FF: stuck memory cell"},
    {"MemoryReadsRefused", "fail = 0x222050", {"memory.onchip", "memory.external"}, {},
     "the read at 0x00000000 was refused (128 refused in all)"},
    {"WindowUnreadable", "fail = 0x222014", {"memory.bars"}, {}, "bar 0 does not answer"},
    {"OldDriver", "version = 0x01070604", {"driver.version"}, {}, "driver too old"},
    {"MappingRefused", "map = refuse", {"driver.mapping"}, kNoStream, "refused the address mapping"},
    {"ShortInformation", "info.3 = 01 02", {"driver.info"}, {}, "category 3 answered 2 bytes"},
    {"FailingRequest", "fail = 0x222444", {"identity.slot"}, {}, "bus slot"},
    {"HardwareUnanswered", "fail = 0x222440", {"identity.stable", "identity.serial"}, {}, "hardware request"},
    {"BlankSerial", "serial =", {"identity.serial"}, {}, "no serial number"},
    {"ResetRefused", "fail = 0x22241c", {"boot.reset"}, {}, "refused the DSP reset"},
    {"RefusedBlock", "refuse_block = 1", {"boot.load"}, {}, "block 1 ("},
    {"InterruptRefused", "fail = 0x222424", {"boot.interrupt"},
     joined({"boot.running", "boot.dma", "boot.switches"}, kNoStream), "refused the interrupt"},
    {"DspNeverRuns", "dsp = never", {"boot.running"}, joined({"boot.dma", "boot.switches"}, kNoStream),
     "did not run its program within 4000 ms"},
    {"DmaRefused", "fail = 0x222500", {"boot.dma"}, kNoStream, "SET_DMA_VADDR refused"},
    {"SwitchesUnanswered", "fail = 0x222480", {"boot.switches", "close.channels"}, kNoStream, "channel switches"},
    // A card in service starts receiving at once; it vanishes well inside the reception.
    {"Vanishes", "dsp = running\nvanish_after_ms = 1500", {"stream.reception", "close.answers"},
     joined(kInService, kStreamAfterReception), "vanished", 4},
    {"DropsPictures", "drop_stream = 2", {"stream.decode.Chan3", "stream.rate.Chan3", "stream.dropped"}, {},
     "pictures lost between two IDR pictures"},
    {"CorruptSlices", "corrupt_stream = 5", {"stream.decode.SubChan2"}, {}, "corrupt slices"},
    {"WrongPictureRate", "fps = 20", {"stream.rate."}, {}, "too few pictures"},
    {"MalformedRecords", "malformed = yes", {"stream.written"}, {}, "malformed records"},
    {"PreviewNeverComes", "no_preview = 3", {"stream.previews"}, {}, "channel 3: no preview picture"},
    {"NoFullSizePictures", "fullsize_fps = 0", {"stream.fullsize"}, {}, "no full-size picture"},
    {"NoDebugRecords", "debug_per_s = 0", {"stream.debug"}, {}, "no debug line"},
    {"MappingKept", "fail = 0x222410", {"close.device"}, {}, "did not take the address mapping back"},
};

void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

bool named(const std::string& row, const std::vector<std::string>& names) {
    for (const std::string& n : names) {
        if (n.ends_with('.') ? row.starts_with(n) : row == n) return true;
    }
    return false;
}

class FaultMatrix : public ::testing::TestWithParam<FaultCase> {};

TEST_P(FaultMatrix, FailsExactlyTheChecksTheFaultExplains) {
    const FaultCase& c = GetParam();
    pemblor::testing::TempDir dir;
    Options options;
    options.seconds = c.seconds;
    options.reboot = c.reboot;
    const CheckTable table = testing::selfTestOfSimulatedCard(c.settings, options, dir);
    ASSERT_EQ(table.notRun, "");
    ASSERT_EQ(table.rows.size(), kRowCount);
    std::set<std::string> names;
    std::string wrong;
    const CheckRow* firstFailure = nullptr;
    for (const CheckRow& row : table.rows) {
        names.insert(row.name);
        const Outcome expected = named(row.name, c.failed)    ? Outcome::kFail
                                 : named(row.name, c.skipped) ? Outcome::kSkip
                                                              : Outcome::kPass;
        if (row.outcome != expected)
            wrong += row.name + " " + std::string(outcomeName(row.outcome)) + " (" + row.measured + "; " + row.meaning +
                     ")\n";
        if (row.outcome != Outcome::kPass && row.meaning.empty()) wrong += row.name + " says nothing\n";
        if (row.outcome == Outcome::kFail && !firstFailure) firstFailure = &row;
    }
    EXPECT_EQ(names.size(), kRowCount) << "every check once";
    EXPECT_EQ(wrong, "");
    EXPECT_EQ(table.exitStatus(), c.failed.empty() ? 0 : 1);
    if (firstFailure) {
        EXPECT_NE(firstFailure->meaning.find(c.meaning), std::string::npos) << firstFailure->meaning;
    }
}

// A driver whose wait for the data event hangs once reception is asked to
// stop: the receive thread can't end, and the close says so.
class HangingWaits final : public driver::ForwardingTransport {
public:
    explicit HangingWaits(driver::Transport& inner) : ForwardingTransport(inner) {}
    driver::ControlResult control(driver::DeviceHandle h, std::uint32_t code, std::span<const std::uint8_t> in,
                                  std::span<std::uint8_t> out) override {
        const driver::ControlResult r = inner_.control(h, code, in, out);
        if (code == driver::kFetchNotifications) hangIfStopping();
        return r;
    }
    // Only the stop signals through the transport; the card signals its own way.
    bool signalEvent(driver::EventHandle e) override {
        stopping_ = true;
        return inner_.signalEvent(e);
    }
    // The receive thread's requests: held up past the stop's 3 s once it has begun.
    driver::WaitResult waitEvent(driver::EventHandle e, int timeoutMs) override {
        const driver::WaitResult r = inner_.waitEvent(e, timeoutMs);
        hangIfStopping();
        return r;
    }

private:
    void hangIfStopping() {
        if (!stopping_.exchange(false)) return;
        ++hanging_;
        std::this_thread::sleep_for(std::chrono::milliseconds(3500));
        --hanging_;
    }

    std::atomic<bool> stopping_{false};

public:
    std::atomic<int> hanging_{0};
};

TEST(FaultMatrix, AReceiveThreadHeldUpInTheDriverFailsTheClose) {
    pemblor::testing::TempDir dir;
    // The thread left behind ends on its own, later: what it uses lives on.
    static sim::SimTransport cards(sim::SimSettings::withCards({0}));
    static HangingWaits hanging(cards);
    Options options;
    options.quick = true;
    options.seconds = 1;
    options.root = dir.path();
    const CheckTable table = runSelfTest(hanging, options);
    std::vector<std::string> failed;
    for (const CheckRow& row : table.rows) {
        if (row.outcome == Outcome::kFail) failed.push_back(row.name + ": " + row.meaning);
    }
    EXPECT_EQ(failed, std::vector<std::string>{
                          "close.reception: the receive thread is held up in a driver request: the driver hangs"});
    while (hanging.hanging_.load() > 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FaultCase>& info) { return info.param.name; });

}  // namespace
}  // namespace pemblor::selftest
