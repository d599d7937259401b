// Starting and stopping reception through the script console: every way out
// finishes the files; a start that can't run says why and leaves nothing
// open; a card that stops answering does not hold the stop; a thread held
// inside a write finishes its files when it ends; a full disk stops one file
// and says so once.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

#include "capture/recording_header.hpp"
#include "support/temp_dir.hpp"
#include "driver/request_codes.hpp"
#include "delivered.hpp"
#include "live_console.hpp"
#include "sim/settings/replay.hpp"

namespace pemblor::capture {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::StartsWith;

std::vector<std::uint8_t> readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool finished(const std::filesystem::path& p) {
    const auto header = RecordingHeader::parse(readFile(p));
    return header && header->finished();
}

bool allFinished(const std::filesystem::path& root) {
    for (int slot = 0; slot < 8; ++slot) {
        if (!finished(root / ("EVDATA000" + std::to_string(slot) + ".264"))) return false;
    }
    return std::filesystem::exists(root / "ORGVIDEO00.YUV") && std::filesystem::exists(root / "DSPDEBUG00.LOG");
}

sim::SimSettings runningCard() {
    sim::SimSettings s = sim::SimSettings::withCards({0, 1});
    s.cards[0].dspMode = sim::DspMode::Running;
    s.cards[1].faults.refuseMapping = true;
    return s;
}

// Between the console and the cards: fetches that can be held up, as a card
// that stops answering, and events that can't be created.
class HoldingTransport final : public driver::ForwardingTransport {
public:
    explicit HoldingTransport(driver::Transport& cards) : ForwardingTransport(cards) {}
    std::atomic<bool> failEvents{false};

    void hold(bool on) {
        {
            std::lock_guard lock(mutex_);
            holding_ = on;
        }
        released_.notify_all();
    }
    bool holdingOne() {
        std::lock_guard lock(mutex_);
        return held_ > 0;
    }
    // Only the console's stop signals the data event through the transport.
    std::atomic<bool> stopSignalled{false};
    driver::ControlResult control(driver::DeviceHandle h, std::uint32_t code, std::span<const std::uint8_t> in,
                                  std::span<std::uint8_t> out) override {
        if (code == driver::kFetchNotifications) {
            std::unique_lock lock(mutex_);
            ++held_;
            released_.wait(lock, [&] { return !holding_; });
            --held_;
        }
        return inner_.control(h, code, in, out);
    }
    driver::EventHandle createEvent() override { return failEvents ? driver::kNoEvent : inner_.createEvent(); }
    bool signalEvent(driver::EventHandle e) override {
        stopSignalled = true;
        return inner_.signalEvent(e);
    }
    std::atomic<bool> eventClosed{false};
    bool closeEvent(driver::EventHandle e) override {
        eventClosed = true;
        return inner_.closeEvent(e);
    }

private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool holding_ = false;
    int held_ = 0;
};

TEST(ReceptionStop, EveryWayOutFinishesTheFiles) {
    const std::string unchecked = "STATE 1035 enabled=1 visible=1 checked=0 selection=-1 items=0";
    const struct {
        const char* how;
        const char* ending;
        std::vector<std::string> tail;
    } ways[] = {
        {"untick", "click \"RecvData\"\nstate 1035\n", {unchecked, "CLOSE 102 2"}},
        {"close", "click \"2 CloseDev\"\nstate 1035\n", {"LINE Close device finished OK !!!", unchecked, "CLOSE 102 2"}},
        {"exit", "click \"18 Exit\"\n", {"LINE Close device finished OK !!!", "CLOSE 102 1"}},
        {"end of script", "", {"CLOSE 102 2"}},
    };
    for (const auto& way : ways) {
        pemblor::testing::TempDir root;
        const auto run = pemblor::testing::runConsoleScript(
            std::string("click \"1 OpenDev\"\nclick \"SaveFile\"\nclick \"RecvData\"\nwait 300\n") + way.ending,
            runningCard(), root.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        ASSERT_GE(run.out.size(), way.tail.size());
        EXPECT_EQ(std::vector<std::string>(run.out.end() - static_cast<std::ptrdiff_t>(way.tail.size()), run.out.end()),
                  way.tail)
            << way.how;
        EXPECT_TRUE(allFinished(root.path())) << way.how;
    }
}

TEST(ReceptionStop, RefusedStartsSayWhyAndLeaveNothingOpen) {
    pemblor::testing::TempDir root;
    HoldingTransport* holding = nullptr;
    testing::LiveConsole console(runningCard(), root.path(), [&](driver::Transport& cards) {
        auto t = std::make_unique<HoldingTransport>(cards);
        holding = t.get();
        return t;
    });
    std::filesystem::create_directory(root / "EVDATA0002.264");  // the third file can't be created
    console.send("click \"RecvData\"\nclick \"1 OpenDev\"\nclick \"RecvData\"\nstate 1035\n");
    ASSERT_TRUE(testing::LiveConsole::waitFor([&] { return finished(root / "EVDATA0001.264"); }));
    std::filesystem::remove(root / "EVDATA0002.264");
    // Nothing was left holding a file: now the start runs. A second console can't record over it.
    console.send("click \"RecvData\"\n");
    ASSERT_TRUE(testing::LiveConsole::waitFor([&] { return std::filesystem::exists(root / "ORGVIDEO00.YUV"); }));
    {
        testing::LiveConsole other(runningCard(), root.path());
        other.send("click \"1 OpenDev\"\nclick \"RecvData\"\n");
        EXPECT_THAT(other.finish(), Contains("MSG " + (root / "EVDATA0000.264").string() + "Open file failed!"));
    }
    console.send("click \"RecvData\"\nclick \"2 CloseDev\"\n");
    ASSERT_TRUE(testing::LiveConsole::waitFor([&] { return allFinished(root.path()); }));
    holding->failEvents = true;
    console.send("click \"1 OpenDev\"\nclick \"RecvData\"\nclick \"2 CloseDev\"\nselect 1027 1\nclick \"1 OpenDev\"\n"
                 "click \"RecvData\"\nstate 1035\n");
    const auto out = console.finish();
    const std::string unchecked = "STATE 1035 enabled=1 visible=1 checked=0 selection=-1 items=0";
    EXPECT_THAT(out, ElementsAre("OPEN 102", "MSG Device is not open, failed!", "CLEAR", StartsWith("LINE Open Dev KSVECWDM0"),
                                 "MSG " + (root / "EVDATA0002.264").string() + "Open file failed!",
                                 "MSG Open file failed!", unchecked, "LINE Close device finished OK !!!", "CLEAR",
                                 StartsWith("LINE Open Dev KSVECWDM0"), "MSG Create event failed, cann't recv data!",
                                 "LINE Close device finished OK !!!", "CLEAR", StartsWith("LINE Open Dev KSVECWDM1"),
                                 "MSG Address mapping failed, cann't recv data!",
                                 "MSG Address mapping failed, cann't recv data!", unchecked, "CLOSE 102 2"));
}

// A console recording from a card in service, whose next fetch is held up in
// the driver when the stop is clicked.
struct HeldUpStop {
    pemblor::testing::TempDir root;
    HoldingTransport* holding = nullptr;
    testing::LiveConsole console{runningCard(), root.path(), [this](driver::Transport& cards) {
                                     auto t = std::make_unique<HoldingTransport>(cards);
                                     holding = t.get();
                                     return t;
                                 }};
    HeldUpStop() {
        console.send("click \"1 OpenDev\"\nclick \"SaveFile\"\nclick \"RecvData\"\n");
        EXPECT_TRUE(testing::LiveConsole::waitFor([&] { return std::filesystem::exists(root / "ORGVIDEO00.YUV"); }));
        holding->hold(true);
        EXPECT_TRUE(testing::LiveConsole::waitFor([&] { return holding->holdingOne(); }));
        console.send("click \"RecvData\"\nstate 1035\n");
    }
};

TEST(ReceptionStop, ACardThatNoLongerAnswersDoesNotHoldTheStop) {
    HeldUpStop s;
    // The stop returns and finishes the files while the thread still waits in the driver.
    EXPECT_TRUE(testing::LiveConsole::waitFor([&] { return allFinished(s.root.path()); }));
    s.holding->hold(false);  // the card answers again: the thread ends on its own
    const auto out = s.console.finish();
    EXPECT_THAT(out, Contains("STATE 1035 enabled=1 visible=1 checked=0 selection=-1 items=0"));
    EXPECT_THAT(out, ::testing::Not(Contains(StartsWith("LINE Recving thread is busy"))));
}

TEST(ReceptionStop, AFetchUnderWayAtTheStopIsStillWritten) {
    HeldUpStop s;
    ASSERT_TRUE(testing::LiveConsole::waitFor([&] { return s.holding->stopSignalled.load(); }));
    s.holding->hold(false);  // the card answers while the stop waits: what it handed out is written
    s.console.finish();
    EXPECT_EQ(testing::recordedDigests(s.root.path()), testing::deliveredDigests(s.console.transport()));
}

// The raw video file is a pipe that nobody reads: the thread is held inside
// a write when the stop comes, so the stop leaves it and its files behind.
TEST(ReceptionStop, AThreadHeldInAWriteFinishesItsFilesWhenItEnds) {
    pemblor::testing::TempDir root;
    const std::filesystem::path video = root / "ORGVIDEO00.YUV";
    ASSERT_EQ(::mkfifo(video.c_str(), 0600), 0);
    const int reader = ::open(video.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    const auto streamsFinished = [&] {
        for (int slot = 0; slot < 8; ++slot) {
            if (!finished(root / ("EVDATA000" + std::to_string(slot) + ".264"))) return false;
        }
        return true;
    };
    std::atomic<bool> draining{false}, done{false};
    std::thread drain([&] {
        std::vector<char> buffer(1 << 16);
        while (!done) {
            pollfd p{reader, POLLIN, 0};
            if (draining && ::poll(&p, 1, 20) > 0 && ::read(reader, buffer.data(), buffer.size()) > 0) continue;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    HoldingTransport* watching = nullptr;
    testing::LiveConsole console(runningCard(), root.path(), [&](driver::Transport& cards) {
        auto t = std::make_unique<HoldingTransport>(cards);
        watching = t.get();
        return t;
    });
    console.send("click \"1 OpenDev\"\nclick \"SaveFile\"\nclick \"RecvData\"\n");
    // Till the writes of a picture fill the pipe, then the stop: it gives up after its deadline
    // and, its last step, closes the data event.
    ASSERT_TRUE(testing::LiveConsole::waitFor([&] {
        int queued = 0;
        return ::ioctl(reader, FIONREAD, &queued) == 0 && queued >= 65536;
    }));
    console.send("click \"RecvData\"\nstate 1035\n");
    ASSERT_TRUE(testing::LiveConsole::waitFor([&] { return watching->eventClosed.load(); }));
    EXPECT_FALSE(streamsFinished());
    // The pipe is read again: the thread finishes its write, and with it its files, and a new start records.
    draining = true;
    EXPECT_TRUE(testing::LiveConsole::waitFor(streamsFinished, std::chrono::seconds(10)));
    console.send("click \"RecvData\"\nwait 300\nclick \"RecvData\"\n");
    const auto out = console.finish();
    done = true;
    drain.join();
    ::close(reader);
    EXPECT_THAT(out, Contains("LINE Recving thread is busy, its files are closed when it ends!"));
    EXPECT_THAT(out, ::testing::Not(Contains(::testing::HasSubstr("Open file failed!"))));
    EXPECT_TRUE(streamsFinished());
}

// The console ends while the thread is held inside a write to a pipe that
// nobody reads: every other file is finished as the console ends; then the
// console and its cards are gone, and when the pipe is read again the thread
// finds its hub closed, finishes its own file and ends, touching nothing that
// is gone (run under AddressSanitizer in the sanitizer build).
TEST(ReceptionStop, AConsoleThatEndsDuringAHeldWriteFinishesEveryOtherFile) {
    pemblor::testing::TempDir root;
    const std::filesystem::path video = root / "ORGVIDEO00.YUV";
    ASSERT_EQ(::mkfifo(video.c_str(), 0600), 0);
    const int reader = ::open(video.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0);
    auto console = std::make_unique<testing::LiveConsole>(runningCard(), root.path());
    console->send("click \"1 OpenDev\"\nclick \"SaveFile\"\nclick \"RecvData\"\n");
    ASSERT_TRUE(testing::LiveConsole::waitFor([&] {
        int queued = 0;
        return ::ioctl(reader, FIONREAD, &queued) == 0 && queued >= 65536;
    }));
    console->send("click \"18 Exit\"\n");
    const auto out = console->finish();
    EXPECT_THAT(out, Contains("LINE Recving thread is busy, its files are closed when it ends!"));
    for (int slot = 0; slot < 8; ++slot) {
        EXPECT_TRUE(finished(root / ("EVDATA000" + std::to_string(slot) + ".264"))) << slot;
    }
    console.reset();
    // Read till the thread's last write, then the end of the pipe: it closed its file.
    std::vector<char> buffer(1 << 16);
    bool ended = false;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!ended && std::chrono::steady_clock::now() < until) {
        pollfd p{reader, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) continue;
        ended = ::read(reader, buffer.data(), buffer.size()) == 0;
    }
    ::close(reader);
    EXPECT_TRUE(ended);
}

// In a child process whose address space has no room left for another
// thread's stack, once the card's own thread runs (started by a start that
// registered the data event and then could not open a file).
void startWithoutRoomForTheThread(const std::filesystem::path& root) {
    testing::LiveConsole console(sim::SimSettings::withCards({0}), root);
    std::filesystem::create_directory(root / "ORGVIDEO00.YUV");
    console.send("click \"1 OpenDev\"\nclick \"RecvData\"\n");
    testing::LiveConsole::waitFor([&] { return finished(root / "EVDATA0007.264"); });
    std::filesystem::remove(root / "ORGVIDEO00.YUV");
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    const rlim_t room = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (2u << 20);
    const rlimit limit{room, room};
    if (setrlimit(RLIMIT_AS, &limit) != 0) std::_Exit(3);
    console.send("click \"RecvData\"\nstate 1035\nclick \"RecvData\"\nclick \"2 CloseDev\"\n");
    const auto out = console.finish();
    for (const auto& l : out) std::fprintf(stderr, "%s\n", l.c_str());
    // Nothing said about the thread; the receiving state stands till the stop, which finishes the files.
    const std::vector<std::string> want{"OPEN 102", "CLEAR", "LINE Open Dev KSVECWDM0 OK !!! Slot ID:3",
                                        "MSG " + (root / "ORGVIDEO00.YUV").string() + "Open file failed!",
                                        "MSG Open file failed!",
                                        "STATE 1035 enabled=1 visible=1 checked=1 selection=-1 items=0",
                                        "LINE Close device finished OK !!!", "CLOSE 102 2"};
    std::_Exit(out == want && allFinished(root) ? 0 : 1);
}

// A sanitizer's runtime maps memory of its own as it goes: no fixed room suits it.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

TEST(ReceptionStopDeathTest, AThreadThatCannotBeCreatedIsNotReported) {
    if (kSanitized) GTEST_SKIP() << "the address space is the sanitizer's";
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    pemblor::testing::TempDir root;
    EXPECT_EXIT(startWithoutRoomForTheThread(root.path()), ::testing::ExitedWithCode(0), "");
}

// In a child process whose files may not grow beyond 4 KB, as on a full disk.
void recordBeyondTheLimit(const std::filesystem::path& root) {
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    signal(SIGXFSZ, SIG_IGN);
    std::string traffic;
    for (int fetch = 0; fetch < 3; ++fetch) {
        // A block of 3000 bytes for slot 0, one of 100 for slot 1.
        traffic += "fetch\nrecord 18 2 0 3116\narea 1 0 C00B000000000000" + std::string(6000, 'B') + "6C00000001000000" +
                   std::string(200, '5') + "\n";
    }
    sim::ReplayScript script;
    std::string error;
    if (!sim::readReplayText(traffic, "full.txt", root, script, error)) std::_Exit(3);
    sim::SimSettings s = sim::SimSettings::withCards({0});
    s.cards[0].replay = std::make_shared<const sim::ReplayScript>(std::move(script));
    testing::LiveConsole console(std::move(s), root);
    console.send("click \"1 OpenDev\"\nclick \"SaveFile\"\nclick \"RecvData\"\n");
    testing::LiveConsole::waitFor([&] { return readFile(root / "EVDATA0001.264").size() == 128 + 300; });
    console.send("click \"RecvData\"\nwait 100\n");
    const auto out = console.finish();
    const std::string line = "LINE " + (root / "EVDATA0000.264").string() + "Write file failed! File too large";
    const bool once = std::count(out.begin(), out.end(), line) == 1;
    const bool othersWhole = readFile(root / "EVDATA0001.264").size() == 128 + 300;
    for (const auto& l : out) std::fprintf(stderr, "%s\n", l.c_str());
    std::_Exit(once && othersWhole && finished(root / "EVDATA0000.264") ? 0 : 1);
}

TEST(ReceptionStopDeathTest, AFullDiskStopsOneFileAndSaysSoOnce) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    pemblor::testing::TempDir root;
    EXPECT_EXIT(recordBeyondTheLimit(root.path()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace pemblor::capture
