#pragma once
// The receive thread: waits for the data event, fetches up to eight
// notification records and hands them to the dispatcher, until it is told to
// stop. It is never killed: a stop flag and a wake-up of the event end it
// between fetches. Everything it writes lives in its session, which it holds
// too, so a thread held up in the driver can be left behind safely.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "capture/receive_dispatch.hpp"
#include "capture/recording_set.hpp"
#include "driver/driver_link.hpp"

namespace pemblor::capture {

// One receiving period: the hub it shares, its files, the dispatcher that
// writes them, and the handshake with the thread.
struct ReceiveSession {
    ReceiveSession(const ReceiveAreas& areas, std::shared_ptr<const void> areaKeeper,
                   std::shared_ptr<ReceptionHub> receptionHub)
        : keeper(std::move(areaKeeper)), hub(std::move(receptionHub)), dispatcher(areas, *hub, files) {}
    // Files still open when the session goes are finished here.
    ~ReceiveSession() { files.finish(packLocalTime(ui::systemLocalTime())); }

    // The areas' memory, for as long as anything here may point into it.
    std::shared_ptr<const void> keeper;
    std::shared_ptr<ReceptionHub> hub;  // outlives the files that report to it
    RecordingSet files;
    ReceiveDispatcher dispatcher;
    // The handshake, all under workMutex. stop: fetch no more. The thread
    // works (touches anything but the driver) only with working set; records
    // it has fetched are always handled, unless the stopper gave up waiting
    // for it first (abandoned): then it touches nothing more, but for the
    // files of a stop that left it working, which it finishes as it ends.
    std::mutex workMutex;
    std::condition_variable changed;
    bool stop = false;
    bool abandoned = false;
    bool working = false;
    bool exited = false;
};

class ReceiveThread {
public:
    enum class Ended {
        kJoined,  // the thread is gone
        kParked,  // held up in a driver request: it touches nothing more and ends on its own
        kBusy,    // held up inside a write or a window call: the thread finishes the files as it ends
    };

    ReceiveThread() = default;
    // Ends the thread and lets any thread left behind go (letGo).
    ~ReceiveThread();
    ReceiveThread(const ReceiveThread&) = delete;
    ReceiveThread& operator=(const ReceiveThread&) = delete;

    // Starts the thread; it fetches through link and dispatches into session.
    // A thread that can't be created is not reported: nothing runs then.
    void start(std::shared_ptr<ReceiveSession> session, driver::DriverLink& link);
    bool running() const { return current_.thread.joinable(); }
    // Stops it: the flag, a wake-up of the data event, then waiting at most
    // deadline for the thread to let go of the session and to end. A thread
    // that has not ended by then is left behind and joined later.
    Ended end(std::chrono::milliseconds deadline);
    // The console is ending: stops the thread as end() does, then lets every
    // thread left behind go at once, each with the files it is not writing
    // finished (endTime in their headers). A thread let go finds its hub
    // closed when it comes back, and ends.
    void letGo(std::chrono::milliseconds deadline, std::uint32_t endTime);

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<ReceiveSession> session;
    };

    static void run(std::shared_ptr<ReceiveSession> session, driver::DriverLink& link);
    // Joins the threads left behind that have ended by until.
    void reap(std::chrono::steady_clock::time_point until);

    Worker current_;
    std::vector<Worker> leftBehind_;
    driver::DriverLink* link_ = nullptr;
};

}  // namespace pemblor::capture
