#include "capture/reception.hpp"

#include <mutex>
#include <string>
#include <system_error>

#include "capture/receive_thread.hpp"
#include "resources/console_ids.hpp"
#include "resources/string_table.hpp"

namespace pemblor::capture {

namespace {

using namespace resources::console;

constexpr int kReceiveTimerMs = 40;
// How long a stop waits for the receive thread before it leaves it behind.
constexpr std::chrono::milliseconds kStopDeadline{3000};

// Write failures, reported once per file as a line of the output list. They
// happen on the receive thread, so the line is handed to the user-interface
// thread; once the console is gone nothing is reported.
class WriteErrorReport final : public WriteErrorSink, public std::enable_shared_from_this<WriteErrorReport> {
public:
    explicit WriteErrorReport(app::ConsoleSeam& console) : console_(&console) {}

    void writeFailed(const std::filesystem::path& path, int error) override {
        std::string line = path.string() + "Write file failed! " + std::system_category().message(error);
        const std::lock_guard lock(mutex_);
        if (!console_) return;
        console_->host().post([self = weak_from_this(), line = std::move(line)] {
            if (const auto report = self.lock()) report->show(line);
        });
    }

    // The console is going away.
    void detach() {
        const std::lock_guard lock(mutex_);
        console_ = nullptr;
    }

private:
    void show(const std::string& line) {
        const std::lock_guard lock(mutex_);
        if (console_) console_->appendLine(line);
    }

    std::mutex mutex_;
    app::ConsoleSeam* console_;
};

class Reception final : public app::Subsystem {
public:
    explicit Reception(app::ConsoleSeam& console)
        : console_(console), report_(std::make_shared<WriteErrorReport>(console)) {
        ui::Dialog& d = console_.dialog();
        d.onClick(kRecvData, [this] { toggle(); });
        d.onClick(kSaveFile, [this] { save_.store(console_.dialog().checked(kSaveFile), std::memory_order_relaxed); });
        console_.setReceptionSwitch([this] { toggle(); });
        console_.onShutdown([this] {
            if (!session_ && !thread_.running()) return;
            console_.dialog().setChecked(kRecvData, false);
            stop();
        });
    }

    ~Reception() override {
        report_->detach();
        if (session_ || thread_.running()) stop();
    }

private:
    void toggle() {
        if (console_.dialog().checked(kRecvData)) {
            start();
        } else {
            stop();
        }
    }

    void refuse(int stringId) {
        console_.message(stringId);
        console_.dialog().setChecked(kRecvData, false);
    }

    void start() {
        if (!console_.deviceOpen()) return refuse(resources::kStrDeviceNotOpen);
        driver::DriverLink& link = console_.link();
        // Reception needs all four areas; without them it would read nowhere.
        const ReceiveAreas areas{link.mappedArea(driver::kStreamAreaWord), link.mappedArea(driver::kOriginalVideoAreaWord),
                                 link.mappedArea(driver::kPreviewSlotsWord), link.mappedArea(driver::kFullPreviewWord)};
        if (!areas.complete()) return refuse(resources::kStrMappingFailed);
        // Without an event every wait would fail at once and the thread would spin.
        const driver::EventHandle event = link.transport().createEvent();
        if (event == driver::kNoEvent) {
            console_.messageText("Create event failed, cann't recv data!");
            console_.dialog().setChecked(kRecvData, false);
            return;
        }
        link.context().dataEvent.store(event, std::memory_order_relaxed);
        link.registerDataEvent();

        ui::Host& host = console_.host();
        app::ConsoleState& state = console_.state();
        auto session = std::make_shared<ReceiveSession>(areas, state, save_, [&host] { return host.now(); }, report_);
        const int device = state.openDeviceNumber.load(std::memory_order_relaxed);
        if (auto failed = session->files.open(host.root(), device, packLocalTime(host.now()), *report_)) {
            console_.messageText(failed->string() + std::string(resources::loadString(resources::kStrOpenFileFailed)));
            refuse(resources::kStrOpenFileFailedRecv);
            closeEvent();
            return;
        }
        clearCounters(state.stats);
        state.secondsCounter.store(0, std::memory_order_relaxed);
        state.receiving.store(1, std::memory_order_relaxed);
        host.setTimer(console_.dialog(), kReceiveTimer, kReceiveTimerMs);
        state.receiveTimerOn = true;
        session_ = session;
        thread_.start(std::move(session), link);
    }

    void stop() {
        // The thread first: the files are finished only once it can't touch them.
        const ReceiveThread::Ended ended = thread_.end(kStopDeadline);
        app::ConsoleState& state = console_.state();
        console_.host().killTimer(console_.dialog(), kReceiveTimer);
        state.receiveTimerOn = false;
        state.receiving.store(0, std::memory_order_relaxed);
        if (session_) {
            if (ended == ReceiveThread::Ended::kBusy) {
                console_.appendLine("Recving thread is busy, its files are closed when it ends!");
            } else {
                session_->files.finish(packLocalTime(console_.host().now()));
            }
            session_.reset();
        }
        closeEvent();
    }

    void closeEvent() {
        driver::DeviceContext& context = console_.link().context();
        const driver::EventHandle event = context.dataEvent.load(std::memory_order_relaxed);
        if (event == driver::kClosedEvent) return;
        if (event != driver::kNoEvent) console_.link().transport().closeEvent(event);
        context.dataEvent.store(driver::kClosedEvent, std::memory_order_relaxed);
    }

    // What a start clears; block counts, the largest length and the bytes of
    // this second carry on.
    static void clearCounters(ReceiveStats& stats) {
        ReceiveCounters& c = stats.counters;
        for (Counter* counter : {&c.wakeUps, &c.encodedNotices, &c.originalVideoNotices, &c.previewNotices,
                                 &c.lastEncodedLength}) {
            set(*counter, 0);
        }
        for (StreamSlot& s : stats.slotTable) {
            for (Counter* counter : {&s.bitRate, &s.byteAccumulator, &s.plainLastSecond, &s.plainAccumulator,
                                     &s.markedLastSecond, &s.markedAccumulator, &s.previewLastSecond,
                                     &s.previewAccumulator}) {
                set(*counter, 0);
            }
        }
    }

    app::ConsoleSeam& console_;
    std::shared_ptr<WriteErrorReport> report_;
    std::atomic<bool> save_{false};
    std::shared_ptr<ReceiveSession> session_;
    ReceiveThread thread_;
};

}  // namespace

std::unique_ptr<app::Subsystem> attachReception(app::ConsoleSeam& console) {
    return std::make_unique<Reception>(console);
}

}  // namespace pemblor::capture
