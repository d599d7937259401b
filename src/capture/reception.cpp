#include "capture/reception.hpp"

#include <string>

#include "capture/receive_thread.hpp"
#include "resources/console_ids.hpp"
#include "resources/string_table.hpp"

namespace pemblor::capture {

namespace {

using namespace resources::console;

constexpr int kReceiveTimerMs = 40;
// How long a stop waits for the receive thread before it leaves it behind.
constexpr std::chrono::milliseconds kStopDeadline{3000};
// The pause after a stop in the close sequence.
constexpr int kAfterStopMs = 100;

class ReceptionImpl final : public Reception {
public:
    explicit ReceptionImpl(ui::ConsoleSeam& console)
        : console_(console),
          hub_(ReceptionHub::create(console.host(), [&console](std::string_view line) { console.appendLine(line); })) {
        ui::Dialog& d = console_.dialog();
        d.onClick(kRecvData, [this] { toggle(); });
        d.onClick(kSaveFile, [this] { hub_->setSaving(console_.dialog().checked(kSaveFile)); });
        console_.onClosing([this] { return stopForClose(); });
        console_.onShutdown([this] { end(); });
    }

    ~ReceptionImpl() override { end(); }

    ReceptionHub& hub() override { return *hub_; }

private:
    void toggle() {
        if (console_.dialog().checked(kRecvData)) {
            start();
        } else {
            stop();
        }
    }

    // The close sequence's first step: reception stops before the card closes.
    bool stopForClose() {
        if (console_.dialog().checked(kRecvData)) {
            console_.dialog().setChecked(kRecvData, false);
            toggle();
            console_.host().sleep(kAfterStopMs);
        }
        if (common::read(hub_->stats().receiving) != 0) {
            console_.message(resources::kStrStopRecvFirst);
            return false;
        }
        return true;
    }

    // The console ends: whatever runs stops, a thread held up is let go at
    // once with every file it is not writing finished, and the hub closes so
    // that such a thread touches nothing more when it comes back.
    void end() {
        if (ended_) return;
        ended_ = true;
        if (session_ || thread_.running()) {
            console_.dialog().setChecked(kRecvData, false);
            stop();
        }
        hub_->close();
        thread_.letGo(kStopDeadline, packLocalTime(console_.host().now()));
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
        auto session = std::make_shared<ReceiveSession>(areas, hub_);
        if (auto failed = session->files.open(host.root(), console_.openDeviceNumber(), packLocalTime(host.now()),
                                              *hub_, &hub_->closedFlag())) {
            console_.messageText(failed->string() + std::string(resources::loadString(resources::kStrOpenFileFailed)));
            refuse(resources::kStrOpenFileFailedRecv);
            closeEvent();
            return;
        }
        common::ReceiveStats& stats = hub_->stats();
        clearCounters(stats);
        common::set(stats.seconds, 0);
        common::set(stats.receiving, 1);
        host.setTimer(console_.dialog(), kReceiveTimer, kReceiveTimerMs);
        session_ = session;
        thread_.start(std::move(session), link);
    }

    void stop() {
        // The thread first: the files are finished only once it can't touch them.
        const ReceiveThread::Ended ended = thread_.end(kStopDeadline);
        console_.host().killTimer(console_.dialog(), kReceiveTimer);
        common::set(hub_->stats().receiving, 0);
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
    static void clearCounters(common::ReceiveStats& stats) {
        using common::Counter;
        common::ReceiveCounters& c = stats.counters;
        for (Counter* counter : {&c.wakeUps, &c.encodedNotices, &c.originalVideoNotices, &c.previewNotices,
                                 &c.lastEncodedLength}) {
            common::set(*counter, 0);
        }
        for (common::StreamSlot& s : stats.slotTable) {
            for (Counter* counter : {&s.bitRate, &s.byteAccumulator, &s.plainLastSecond, &s.plainAccumulator,
                                     &s.markedLastSecond, &s.markedAccumulator, &s.previewLastSecond,
                                     &s.previewAccumulator}) {
                common::set(*counter, 0);
            }
        }
    }

    ui::ConsoleSeam& console_;
    std::shared_ptr<ReceptionHub> hub_;
    std::shared_ptr<ReceiveSession> session_;
    ReceiveThread thread_;
    bool ended_ = false;
};

}  // namespace

std::unique_ptr<Reception> attachReception(ui::ConsoleSeam& console) { return std::make_unique<ReceptionImpl>(console); }

}  // namespace pemblor::capture
