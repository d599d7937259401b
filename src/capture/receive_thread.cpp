#include "capture/receive_thread.hpp"

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

#include <array>
#include <system_error>

namespace pemblor::capture {

namespace {

// A wait is cut into slices, so a lost wake-up still lets the thread see its stop flag.
constexpr int kWaitSliceMs = 200;
// A wait that fails at once (no event) is not retried at full speed.
constexpr auto kFailedWaitPause = std::chrono::milliseconds(10);
// The highest of the ordinary priorities: two steps above normal. Refused
// without the right to raise it; the thread then runs at normal priority.
constexpr int kRaisedNice = -2;

bool stopping(ReceiveSession& s) {
    const std::lock_guard lock(s.workMutex);
    return s.stop;
}

bool hasExited(ReceiveSession& s, std::chrono::steady_clock::time_point until) {
    std::unique_lock lock(s.workMutex);
    return s.changed.wait_until(lock, until, [&] { return s.exited; });
}

}  // namespace

ReceiveThread::~ReceiveThread() {
    constexpr std::chrono::milliseconds kLastWait{3000};
    letGo(kLastWait, packLocalTime(ui::systemLocalTime()));
}

void ReceiveThread::letGo(std::chrono::milliseconds deadline, std::uint32_t endTime) {
    end(deadline);
    reap(std::chrono::steady_clock::now());
    for (Worker& w : leftBehind_) {
        w.session->files.finishIdle(endTime);
        w.thread.detach();
    }
    leftBehind_.clear();
}

void ReceiveThread::start(std::shared_ptr<ReceiveSession> session, driver::DriverLink& link) {
    reap(std::chrono::steady_clock::now());
    link_ = &link;
    current_.session = session;
    try {
        current_.thread = std::thread(&ReceiveThread::run, std::move(session), std::ref(link));
    } catch (const std::system_error&) {
        // Nothing is received until the stop, which finishes the files as usual.
        current_.session.reset();
    }
}

void ReceiveThread::reap(std::chrono::steady_clock::time_point until) {
    std::erase_if(leftBehind_, [&](Worker& w) {
        if (!hasExited(*w.session, until)) return false;
        w.thread.join();
        return true;
    });
}

void ReceiveThread::run(std::shared_ptr<ReceiveSession> s, driver::DriverLink& link) {
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kRaisedNice);
    // Named, so that top -H and ps -L show what it costs.
    pthread_setname_np(pthread_self(), "pemblor-receive");
    std::array<std::uint8_t, kFetchSize> records{};
    common::ReceiveCounters& counters = s->dispatcher.stats().counters;
    for (;;) {
        if (stopping(*s)) break;
        const driver::EventHandle event = link.context().dataEvent.load(std::memory_order_relaxed);
        const driver::WaitResult woke = link.transport().waitEvent(event, kWaitSliceMs);
        if (woke == driver::WaitResult::Failed) std::this_thread::sleep_for(kFailedWaitPause);
        // Woken by a stop: the card keeps what it has not handed out yet.
        if (woke != driver::WaitResult::Signalled || stopping(*s)) continue;
        records.fill(0);
        const std::uint32_t bytes = link.fetchNotifications(records);
        {
            const std::lock_guard lock(s->workMutex);
            if (s->abandoned) break;
            s->working = true;
        }
        // A fetch hands data over for good: what it brought is handled, stop or not.
        common::add(counters.wakeUps);
        if (bytes >= kRecordSize) s->dispatcher.dispatch(records);
        bool leftBehind = false;
        {
            const std::lock_guard lock(s->workMutex);
            s->working = false;
            leftBehind = s->abandoned;
        }
        s->changed.notify_all();
        // The stop gave up on this thread while it worked and left the files
        // to it: finished now, so they are whole and free for the next start.
        if (leftBehind) {
            s->files.finish(packLocalTime(ui::systemLocalTime()));
            break;
        }
    }
    {
        const std::lock_guard lock(s->workMutex);
        s->exited = true;
    }
    s->changed.notify_all();
}

ReceiveThread::Ended ReceiveThread::end(std::chrono::milliseconds deadline) {
    if (!current_.thread.joinable()) return Ended::kJoined;
    const auto until = std::chrono::steady_clock::now() + deadline;
    ReceiveSession& s = *current_.session;
    Ended ended = Ended::kJoined;
    {
        std::unique_lock lock(s.workMutex);
        s.stop = true;
        link_->transport().signalEvent(link_->context().dataEvent.load(std::memory_order_relaxed));
        if (!s.changed.wait_until(lock, until, [&] { return s.exited; })) {
            // Still in a driver request, or inside a write or a window call.
            ended = s.working ? Ended::kBusy : Ended::kParked;
            s.abandoned = true;
        }
    }
    if (ended == Ended::kJoined) {
        current_.thread.join();
        current_.session.reset();
    } else {
        leftBehind_.push_back(std::move(current_));
        current_ = {};
    }
    return ended;
}

}  // namespace pemblor::capture
