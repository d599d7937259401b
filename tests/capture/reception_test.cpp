// Reception against a card whose every fetch the test writes: what lands in
// the files, what the counters say, what the windows get, and how a start
// and a stop behave when things go wrong.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <condition_variable>
#include <fstream>
#include <mutex>
#include <iterator>
#include <map>

#include "capture/capture.hpp"
#include "capture/recording_header.hpp"
#include "capture/stream_walk.hpp"
#include "dsp/temp_dir.hpp"
#include "fake_seam.hpp"
#include "scripted_card.hpp"

namespace pemblor::capture {
namespace {

using namespace resources::console;
using testing::AreaWrite;
using testing::Fetch;
using testing::Record;
using Bytes = std::vector<std::uint8_t>;

Bytes readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

Bytes filled(std::size_t n, std::uint8_t first) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(first + i);
    return b;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// A run of stream blocks: (stream id, payload) in order.
Bytes run(const std::vector<std::pair<std::uint32_t, Bytes>>& blocks) {
    Bytes out;
    for (const auto& [id, payload] : blocks) {
        out.resize(out.size() + 8);
        driver::storeU32(out, out.size() - 8, static_cast<std::uint32_t>(payload.size() + 8));
        driver::storeU32(out, out.size() - 4, id);
        out.insert(out.end(), payload.begin(), payload.end());
    }
    return out;
}

Bytes debugRecord(std::uint32_t w0, std::uint32_t w16) {
    Bytes r(72, 0xEE);
    driver::storeU32(r, 0, w0);
    for (std::size_t i = 1; i < 4; ++i) driver::storeU32(r, 4 * i, static_cast<std::uint32_t>(i));
    driver::storeU32(r, 64, w16);
    return r;
}

struct Feed final : StreamFeed {
    std::vector<Bytes> payloads;
    void feedStream(std::span<const std::uint8_t> p) override { payloads.emplace_back(p.begin(), p.end()); }
};

struct Sink final : PreviewSink {
    std::vector<std::string> notices;
    const std::uint8_t* slotsBase = nullptr;
    void showPreviewFrame(std::uint32_t channel, std::span<std::uint8_t> picture, std::uint32_t code) override {
        notices.push_back(std::to_string(channel) + "/" + std::to_string(code) + "/" +
                          std::to_string(picture.size()));
    }
};

class Reception : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(seam.openDevice(0)); }
    void TearDown() override {
        seam.shutdown();
        capture.reset();
    }
    std::uint32_t event() { return seam.link().context().dataEvent.load(); }
    std::filesystem::path file(const std::string& name) { return root.path() / name; }
    std::uint32_t counter(const Counter& c) { return read(c); }

    dsp::testing::TempDir root;
    testing::ScriptedCard card;
    testing::FakeSeam seam{card.transport, root.path()};
    std::unique_ptr<app::Subsystem> capture = attachCapture(seam);
};

TEST_F(Reception, EveryCodeReachesItsFileCounterOrWindowAndTheStopFinishesTheHeaders) {
    Feed player;
    Sink preview;
    app::ConsoleState& state = seam.state();
    state.playSlot = 5;
    state.player.publish(&player);
    state.preview.publish(&preview);
    set(state.stats.slotTable[0].blockCount, 40);     // never cleared
    set(state.stats.counters.wakeUps, 9);             // cleared at the start
    set(state.stats.slotTable[2].plainAccumulator, 7);

    seam.click(kSaveFile);
    seam.click(kRecvData);
    ASSERT_EQ(state.receiving.load(), 1u);
    EXPECT_EQ(seam.fakeHost.timers.at(kReceiveTimer), 40);
    EXPECT_EQ(counter(state.stats.counters.wakeUps), 0u);
    EXPECT_EQ(counter(state.stats.slotTable[2].plainAccumulator), 0u);
    const auto registered = card.transport.requestsOf(driver::kRegisterEvent);
    ASSERT_EQ(registered.size(), 1u);
    EXPECT_EQ(registered[0].word(0), event());
    // Opened and emptied at the start: the stream files hold their header, the others nothing yet.
    for (int slot = 0; slot < 8; ++slot) {
        const Bytes f = readFile(file("EVDATA000" + std::to_string(slot) + ".264"));
        ASSERT_EQ(f.size(), 128u) << slot;
        EXPECT_EQ(driver::loadU32(f, 48), 0x1870A780u);
    }

    const Bytes a = filled(100, 0x10), marked = concat({{0x00, 0x00, 0x01, 0xF0}, Bytes(12, 0x99)}),
                b = filled(50, 0x20), c = filled(30, 0x30), d = filled(20, 0x40), video = filled(300, 0x50),
                late = filled(10, 0x70), lateSub = filled(6, 0x80);
    const Bytes first = run({{0, a}, {0, marked}, {1, b}, {5, c}, {3, {}}, {9, d}, {2, {}}});
    const Bytes later = run({{0, late}, {5, lateSub}});
    const auto n1 = static_cast<std::uint32_t>(first.size());
    const auto n3 = static_cast<std::uint32_t>(later.size());
    const std::vector<Fetch> saved{
        {{{0x11, 0, 0, 300}, {0x12, 0, 0, n1}, {0x19, 0, 8192, 100}, {0xF0, 1, 0, 0}, {0xF7, 0, 0, 0},
          {0xF1, 4, 0, 0}, {0x99, 1, 2, 3}},
         {{1, 0, first}, {5, 0, video}, {1, 8192, concat({debugRecord(1, 0x12), debugRecord(0xABC, 0x7)})}}},
        // Fewer than 16 bytes delivered: a wake-up and nothing else, whatever the buffer holds.
        {{{0x12, 0, 0, n1}, {0x11, 0, 0, 300}}, {}, 8}};
    ASSERT_TRUE(card.deliver(event(), saved));
    seam.click(kSaveFile);  // cleared: streams and video are no longer written, debug lines still are
    ASSERT_TRUE(card.deliver(event(), {{{{0x12, 0, 0, n3}, {0x11, 0, 0, 50}, {0x19, 0, 4000, 1}},
                                        {{1, 0, later}, {1, 4000, debugRecord(5, 0xFFFF)}}}}));
    ASSERT_TRUE(card.settle(event()));  // the thread reads the clock too
    seam.fakeHost.clock = {2026, 12, 8, 11, 45, 30, 0, 2};
    seam.click(kRecvData);

    EXPECT_EQ(state.receiving.load(), 0u);
    EXPECT_FALSE(seam.fakeHost.timers.contains(kReceiveTimer));
    EXPECT_EQ(event(), driver::kClosedEvent);
    const std::uint32_t start = packLocalTime({2026, 12, 8, 10, 30, 0, 0, 2});
    const std::uint32_t end = packLocalTime(seam.fakeHost.clock);
    const std::map<int, Bytes> payloads{{0, concat({a, marked})}, {1, b}, {5, concat({c, d})}};
    for (int slot = 0; slot < 8; ++slot) {
        const Bytes f = readFile(file("EVDATA000" + std::to_string(slot) + ".264"));
        ASSERT_GE(f.size(), 128u);
        const auto header = RecordingHeader::parse(f);
        ASSERT_TRUE(header);
        EXPECT_EQ(header->startTime, start);
        EXPECT_EQ(header->endTime, end);
        const auto it = payloads.find(slot);
        EXPECT_EQ(Bytes(f.begin() + 128, f.end()), it == payloads.end() ? Bytes{} : it->second) << slot;
    }
    EXPECT_EQ(readFile(file("ORGVIDEO00.YUV")), video);
    const Bytes log = readFile(file("DSPDEBUG00.LOG"));
    EXPECT_EQ(std::string(log.begin(), log.end()),
              "12-08 10:30:00 0012 0x00000001,0x1,0x2,0x3\r\n"
              "12-08 10:30:00 0007 0x00000ABC,0x1,0x2,0x3\r\n"
              "12-08 10:30:00 FFFF 0x00000005,0x1,0x2,0x3\r\n");

    const ReceiveCounters& k = state.stats.counters;
    EXPECT_EQ(counter(k.wakeUps), 4u);
    EXPECT_EQ(counter(k.encodedNotices), 2u);
    EXPECT_EQ(counter(k.originalVideoNotices), 2u);
    EXPECT_EQ(counter(k.previewNotices), 3u);
    EXPECT_EQ(counter(k.lastEncodedLength), n3);
    EXPECT_EQ(counter(k.largestThisSecond), std::max(n1, n3));
    EXPECT_EQ(counter(k.bytesThisSecond), n1 + n3);
    const auto& t = state.stats.slotTable;
    EXPECT_EQ(counter(t[0].blockCount), 43u);
    EXPECT_EQ(counter(t[0].byteAccumulator), 126u);
    EXPECT_EQ(counter(t[0].plainAccumulator), 2u);
    EXPECT_EQ(counter(t[0].markedAccumulator), 1u);
    EXPECT_EQ(counter(t[5].blockCount), 3u);
    EXPECT_EQ(counter(t[3].blockCount), 1u);
    EXPECT_EQ(counter(t[3].byteAccumulator), 0u);
    EXPECT_EQ(counter(t[2].blockCount), 0u);  // its header ends the run: not read
    EXPECT_EQ(counter(t[1].previewAccumulator), 1u);
    EXPECT_EQ(counter(t[0].previewAccumulator), 1u);
    // The played slot's payloads, also while nothing is saved.
    EXPECT_EQ(player.payloads, (std::vector<Bytes>{c, d, lateSub}));
    EXPECT_THAT(preview.notices, ::testing::ElementsAre("1/240/" + std::to_string(3 * 0x31800),
                                                        "0/247/" + std::to_string(704 * 576 * 2)));
    state.player.retract();
    state.preview.retract();
}

TEST_F(Reception, HostileCountsStayInsideTheirAreas) {
    seam.click(kSaveFile);
    seam.click(kRecvData);
    std::span<std::uint8_t> video = card.area(5);
    for (std::size_t i = 0; i < video.size(); ++i) video[i] = static_cast<std::uint8_t>(i * 7);
    const Bytes wholeVideo(video.begin(), video.end());
    // A run that fills the area to its last byte, announced as 4 GB.
    const std::size_t areaSize = card.area(1).size();
    const Bytes filling = run({{4, Bytes(areaSize - 8 - 24, 0x11)}, {4, Bytes(16, 0x22)}});
    ASSERT_TRUE(card.deliver(event(), {{{{0x11, 0, 0, 0xFFFFFFFF},
                                         {0x12, 0, 0, 0xFFFFFFFF},
                                         {0x19, 0, 0xFFFFFFF0, 0xFFFFFFFF},
                                         {0x19, 0, static_cast<std::uint32_t>(areaSize - 71), 72},
                                         {0xF2, 0xFFFFFFFF, 0, 0},
                                         {0xF0, 3, 0, 0}},
                                        {{1, 0, filling}}}}));
    // Zeros at the start of the area: a total of 0 wraps below 8 and ends the walk at once.
    ASSERT_TRUE(card.deliver(event(), {{{{0x12, 0, 0, 0xFFFFFFFF}}, {{1, 0, Bytes(64, 0)}}}}));
    seam.click(kRecvData);
    EXPECT_EQ(readFile(file("ORGVIDEO00.YUV")), wholeVideo);  // cut to the area
    const Bytes sub = readFile(file("EVDATA0004.264"));
    EXPECT_EQ(sub.size(), 128 + areaSize - 16);
    EXPECT_EQ(readFile(file("DSPDEBUG00.LOG")).size(), 0u);
    const auto& t = seam.state().stats.slotTable;
    EXPECT_EQ(counter(t[4].blockCount), 2u);
    EXPECT_EQ(counter(t[0].blockCount), 1u);
    EXPECT_EQ(counter(t[0].byteAccumulator), 0xFFFFFFF8u);  // counted as announced
    EXPECT_EQ(counter(t[3].previewAccumulator), 1u);
    EXPECT_EQ(counter(seam.state().stats.counters.previewNotices), 2u);
}

TEST_F(Reception, StartsThatCannotRunLeaveNothingOpen) {
    // A file that can't be created: the third stream file's name is taken by a folder.
    std::filesystem::create_directory(file("EVDATA0002.264"));
    seam.click(kRecvData);
    EXPECT_THAT(seam.fakeHost.messages,
                ::testing::ElementsAre(file("EVDATA0002.264").string() + "Open file failed!", "Open file failed!"));
    EXPECT_FALSE(seam.dialog().checked(kRecvData));
    EXPECT_EQ(seam.state().receiving.load(), 0u);
    EXPECT_FALSE(seam.fakeHost.timers.contains(kReceiveTimer));
    EXPECT_EQ(event(), driver::kClosedEvent);
    EXPECT_EQ(card.transport.requestsOf(driver::kRegisterEvent).size(), 1u);
    for (const char* opened : {"EVDATA0000.264", "EVDATA0001.264"}) {
        const auto header = RecordingHeader::parse(readFile(file(opened)));
        ASSERT_TRUE(header) << opened;
        EXPECT_TRUE(header->finished()) << opened;
    }
    EXPECT_FALSE(std::filesystem::exists(file("DSPDEBUG00.LOG")));
    // Nothing was left holding the files: once the name is free, a start runs.
    std::filesystem::remove(file("EVDATA0002.264"));
    seam.click(kRecvData);
    EXPECT_EQ(seam.state().receiving.load(), 1u);
    EXPECT_NE(event(), driver::kClosedEvent);
    seam.click(kRecvData);

    // No event: refused before anything is registered or opened.
    seam.fakeHost.messages.clear();
    card.transport.setFailCreateEvent(true);
    seam.click(kRecvData);
    EXPECT_THAT(seam.fakeHost.messages, ::testing::ElementsAre("Create event failed, cann't recv data!"));
    EXPECT_FALSE(seam.dialog().checked(kRecvData));
    EXPECT_EQ(card.transport.requestsOf(driver::kRegisterEvent).size(), 2u);

    // No mapping: the open sequence's message again, and no start.
    seam.fakeHost.messages.clear();
    card.transport.setFailCreateEvent(false);
    card.transport.setAnswer(driver::kMapAddresses, {.ok = false});
    seam.link().mapAddresses();
    seam.click(kRecvData);
    EXPECT_THAT(seam.fakeHost.messages, ::testing::ElementsAre("Address mapping failed, cann't recv data!"));
    EXPECT_FALSE(seam.dialog().checked(kRecvData));

    // No device.
    seam.fakeHost.messages.clear();
    seam.link().closeDevice();
    seam.click(kRecvData);
    EXPECT_THAT(seam.fakeHost.messages, ::testing::ElementsAre("Device is not open, failed!"));
    EXPECT_FALSE(seam.dialog().checked(kRecvData));
    EXPECT_EQ(seam.state().receiving.load(), 0u);
}

TEST_F(Reception, ASecondConsoleCannotRecordOverTheFirst) {
    seam.click(kRecvData);
    ASSERT_EQ(seam.state().receiving.load(), 1u);
    testing::ScriptedCard otherCard;
    testing::FakeSeam other{otherCard.transport, root.path()};
    auto otherCapture = attachCapture(other);
    ASSERT_TRUE(other.openDevice(0));
    other.click(kRecvData);
    EXPECT_THAT(other.fakeHost.messages,
                ::testing::ElementsAre(file("EVDATA0000.264").string() + "Open file failed!", "Open file failed!"));
    other.shutdown();
    // The first recording is whole.
    seam.click(kRecvData);
    EXPECT_TRUE(RecordingHeader::parse(readFile(file("EVDATA0000.264")))->finished());
}

TEST_F(Reception, CloseAndShutdownStopReception) {
    seam.click(kSaveFile);
    seam.click(kRecvData);
    ASSERT_TRUE(card.deliver(event(), {{{{0x12, 0, 0, 16}}, {{1, 0, run({{2, Bytes(8, 3)}})}}}}));
    seam.closeSequence();
    EXPECT_FALSE(seam.dialog().checked(kRecvData));
    EXPECT_EQ(seam.state().receiving.load(), 0u);
    EXPECT_EQ(readFile(file("EVDATA0002.264")).size(), 136u);
    EXPECT_TRUE(RecordingHeader::parse(readFile(file("EVDATA0002.264")))->finished());

    ASSERT_TRUE(seam.openDevice(0));
    seam.click(kRecvData);
    ASSERT_TRUE(card.deliver(event(), {{{{0x12, 0, 0, 16}}, {{1, 0, run({{2, Bytes(8, 4)}})}}}}));
    seam.shutdown();
    EXPECT_FALSE(seam.dialog().checked(kRecvData));
    EXPECT_EQ(seam.state().receiving.load(), 0u);
    const Bytes restarted = readFile(file("EVDATA0002.264"));
    EXPECT_EQ(Bytes(restarted.begin() + 128, restarted.end()), Bytes(8, 4));  // started again from its header
    EXPECT_TRUE(RecordingHeader::parse(restarted)->finished());
}

// A transport whose fetches can be held up, as a card that stops answering.
class StallingTransport final : public driver::Transport {
public:
    explicit StallingTransport(driver::Transport& inner) : inner_(inner) {}

    void stall() {
        std::lock_guard lock(mutex_);
        stalling_ = true;
    }
    void release() {
        {
            std::lock_guard lock(mutex_);
            stalling_ = false;
        }
        wake_.notify_all();
    }
    bool stalled() {
        std::lock_guard lock(mutex_);
        return held_ > 0;
    }

    driver::ControlResult control(driver::DeviceHandle h, std::uint32_t code, std::span<const std::uint8_t> in,
                                  std::span<std::uint8_t> out) override {
        if (code == driver::kFetchNotifications) {
            std::unique_lock lock(mutex_);
            ++held_;
            wake_.wait(lock, [&] { return !stalling_; });
            --held_;
        }
        return inner_.control(h, code, in, out);
    }
    driver::DeviceHandle open(std::string_view path) override { return inner_.open(path); }
    bool close(driver::DeviceHandle h) override { return inner_.close(h); }
    driver::EventHandle createEvent() override { return inner_.createEvent(); }
    bool signalEvent(driver::EventHandle e) override { return inner_.signalEvent(e); }
    driver::WaitResult waitEvent(driver::EventHandle e, int ms) override { return inner_.waitEvent(e, ms); }
    bool closeEvent(driver::EventHandle e) override { return inner_.closeEvent(e); }
    std::span<std::uint8_t> area(driver::DeviceHandle h, std::uint32_t w) override { return inner_.area(h, w); }

private:
    driver::Transport& inner_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stalling_ = false;
    int held_ = 0;
};

TEST(ReceptionStop, ACardThatNoLongerAnswersDoesNotHoldTheStop) {
    dsp::testing::TempDir root;
    testing::ScriptedCard card;
    StallingTransport stalling(card.transport);
    testing::FakeSeam seam{stalling, root.path()};
    auto capture = attachCapture(seam);
    ASSERT_TRUE(seam.openDevice(0));
    seam.click(kSaveFile);
    seam.click(kRecvData);
    const std::uint32_t event = seam.link().context().dataEvent.load();
    ASSERT_TRUE(card.deliver(event, {{{{0x12, 0, 0, 16}}, {{1, 0, run({{6, Bytes(8, 6)}})}}}}));
    stalling.stall();
    card.transport.signalEvent(event);
    ASSERT_TRUE(testing::ScriptedCard::waitFor([&] { return stalling.stalled(); }));

    seam.click(kRecvData);  // returns although the thread still waits in the driver
    EXPECT_EQ(seam.state().receiving.load(), 0u);
    EXPECT_EQ(seam.link().context().dataEvent.load(), driver::kClosedEvent);
    const Bytes f = readFile(root.path() / "EVDATA0006.264");
    EXPECT_EQ(Bytes(f.begin() + 128, f.end()), Bytes(8, 6));
    EXPECT_TRUE(RecordingHeader::parse(f)->finished());
    EXPECT_TRUE(seam.lines.empty());

    // The card answers again: the thread ends on its own and is joined.
    stalling.release();
    seam.shutdown();
    capture.reset();
    EXPECT_FALSE(stalling.stalled());
}

// Runs in a child process whose files may not grow beyond 4 KB, as on a full
// disk: the file that hits the limit is reported once and left, the others
// go on. Exits 0 when everything held; says what did not on standard error.
void writeBeyondTheLimit(const std::filesystem::path& root) {
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, SIG_IGN);
    testing::ScriptedCard card;
    testing::FakeSeam seam{card.transport, root};
    auto capture = attachCapture(seam);
    seam.openDevice(0);
    seam.click(kSaveFile);
    seam.click(kRecvData);
    const std::uint32_t event = seam.link().context().dataEvent.load();
    const Bytes big(3000, 0xB0), small(100, 0x51);
    const Bytes both = run({{0, big}, {1, small}});
    const Fetch f{{{0x12, 0, 0, static_cast<std::uint32_t>(both.size())}}, {{1, 0, both}}};
    if (!card.deliver(event, {f, f, f})) std::_Exit(3);
    seam.click(kRecvData);
    seam.fakeHost.runPosted();
    capture.reset();
    const Bytes second = readFile(root / "EVDATA0001.264");
    const std::string wanted = (root / "EVDATA0000.264").string() + "Write file failed! File too large";
    bool ok = seam.lines == std::vector<std::string>{wanted} && second.size() == 128 + 3 * small.size() &&
              RecordingHeader::parse(readFile(root / "EVDATA0000.264"))->finished();
    for (const std::string& line : seam.lines) std::fprintf(stderr, "LINE %s\n", line.c_str());
    std::fprintf(stderr, "second file %zu bytes\n", second.size());
    std::_Exit(ok ? 0 : 1);
}

TEST(ReceptionDeathTest, AFullDiskStopsOneFileAndSaysSoOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    dsp::testing::TempDir root;
    EXPECT_EXIT(writeBeyondTheLimit(root.path()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace pemblor::capture
