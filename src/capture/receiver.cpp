#include "capture/receiver.hpp"

#include "driver/request_codes.hpp"

namespace pemblor::capture {

namespace {

// How long a stop waits for the receive thread before it leaves it behind.
constexpr std::chrono::milliseconds kStopDeadline{3000};

// What a start clears; block counts, the largest length and the bytes of
// this second carry on.
void clearCounters(common::ReceiveStats& stats) {
    using common::Counter;
    common::ReceiveCounters& c = stats.counters;
    for (Counter* counter :
         {&c.wakeUps, &c.encodedNotices, &c.originalVideoNotices, &c.previewNotices, &c.lastEncodedLength}) {
        common::set(*counter, 0);
    }
    for (common::StreamSlot& s : stats.slotTable) {
        for (Counter* counter : {&s.bitRate, &s.byteAccumulator, &s.plainLastSecond, &s.plainAccumulator,
                                 &s.markedLastSecond, &s.markedAccumulator, &s.previewLastSecond,
                                 &s.previewAccumulator, &s.picturesLastSecond, &s.pictureAccumulator}) {
            common::set(*counter, 0);
        }
    }
    common::set(stats.seconds, 0);
}

}  // namespace

Receiver::Receiver(driver::DriverLink& link, std::shared_ptr<ReceptionHub> hub) : link_(link), hub_(std::move(hub)) {}

Receiver::~Receiver() { end(packLocalTime(ui::systemLocalTime())); }

Receiver::Start Receiver::start(const std::filesystem::path& root, int device, std::uint32_t startTime) {
    // Reception needs all four areas; without them it would read nowhere.
    const ReceiveAreas areas{link_.mappedArea(driver::kStreamAreaWord), link_.mappedArea(driver::kOriginalVideoAreaWord),
                             link_.mappedArea(driver::kPreviewSlotsWord), link_.mappedArea(driver::kFullPreviewWord)};
    if (!areas.complete()) return Start::kNoMapping;
    // Without an event every wait would fail at once and the thread would spin.
    const driver::EventHandle event = link_.transport().createEvent();
    if (event == driver::kNoEvent) return Start::kNoEvent;
    link_.context().dataEvent.store(event, std::memory_order_relaxed);
    link_.registerDataEvent();

    auto session = std::make_shared<ReceiveSession>(areas, link_.areaKeeper(), hub_);
    if (auto failed = session->files.open(root, device, startTime, *hub_, &hub_->closedFlag(), &hub_->stats().files)) {
        failedPath_ = *failed;
        closeEvent();
        return Start::kOpenFailed;
    }
    common::ReceiveStats& stats = hub_->stats();
    clearCounters(stats);
    common::set(stats.receiving, 1);
    session_ = session;
    thread_.start(std::move(session), link_);
    return Start::kStarted;
}

ReceiveThread::Ended Receiver::stop(std::uint32_t endTime) {
    // The thread first: the files are finished only once it can't touch them.
    const ReceiveThread::Ended ended = thread_.end(kStopDeadline);
    common::set(hub_->stats().receiving, 0);
    if (session_) {
        if (ended != ReceiveThread::Ended::kBusy) session_->files.finish(endTime);
        session_.reset();
    }
    closeEvent();
    return ended;
}

void Receiver::end(std::uint32_t endTime) {
    if (ended_) return;
    ended_ = true;
    if (running()) stop(endTime);
    hub_->close();
    thread_.letGo(kStopDeadline, endTime);
}

void Receiver::closeEvent() {
    driver::DeviceContext& context = link_.context();
    const driver::EventHandle event = context.dataEvent.load(std::memory_order_relaxed);
    if (event == driver::kClosedEvent) return;
    if (event != driver::kNoEvent) link_.transport().closeEvent(event);
    context.dataEvent.store(driver::kClosedEvent, std::memory_order_relaxed);
}

}  // namespace pemblor::capture
