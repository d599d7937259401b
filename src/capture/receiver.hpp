#pragma once
// Reception of one open card without the console window: the receive
// thread, its files and its hub. The console's "RecvData" drives one, and so
// can a command-line tool over a card it opened itself.
#include <cstdint>
#include <filesystem>
#include <memory>

#include "capture/receive_thread.hpp"
#include "capture/reception_hub.hpp"
#include "driver/driver_link.hpp"

namespace pemblor::capture {

class Receiver {
public:
    enum class Start {
        kStarted,
        kNoMapping,   // the address mapping lacks an area
        kNoEvent,     // no data event could be created
        kOpenFailed,  // a file could not be opened (failedPath())
    };

    // link's device must be open, and stay open while reception runs.
    Receiver(driver::DriverLink& link, std::shared_ptr<ReceptionHub> hub);
    // Ends as end() does.
    ~Receiver();
    Receiver(const Receiver&) = delete;
    Receiver& operator=(const Receiver&) = delete;

    // Registers a data event, opens the ten files of device under root (all
    // stream headers carrying startTime), clears what a start clears and
    // starts the thread. Anything but kStarted leaves nothing open.
    Start start(const std::filesystem::path& root, int device, std::uint32_t startTime);
    const std::filesystem::path& failedPath() const { return failedPath_; }
    bool running() const { return session_ != nullptr || thread_.running(); }

    // Stops the thread (waiting at most 3 s) and finishes the files with
    // endTime, unless the thread was left inside a write (kBusy): it finishes
    // them itself when the write returns.
    ReceiveThread::Ended stop(std::uint32_t endTime);
    // Whoever drove reception ends: a stop, then the hub closes and any
    // thread left behind is let go with every file it is not writing finished.
    void end(std::uint32_t endTime);

    ReceptionHub& hub() { return *hub_; }
    const std::shared_ptr<ReceptionHub>& sharedHub() const { return hub_; }

private:
    void closeEvent();

    driver::DriverLink& link_;
    std::shared_ptr<ReceptionHub> hub_;
    std::shared_ptr<ReceiveSession> session_;
    ReceiveThread thread_;
    std::filesystem::path failedPath_;
    bool ended_ = false;
};

}  // namespace pemblor::capture
