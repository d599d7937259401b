#pragma once
// One card of `pemblorctl watch`: its own link and context, reception
// without a console (capture::Receiver), the health the metrics show, and
// the figures of its status line. The owner's thread calls everything here.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "capture/receiver.hpp"
#include "driver/card_health.hpp"
#include "metrics/collector.hpp"
#include "ui/text_host.hpp"

namespace pemblor::cli {

// The watch's host: what the receive threads post waits for the owner's
// thread (run), which handles it between ticks.
class QueuedHost final : public ui::TextHost {
public:
    using TextHost::TextHost;
    void post(std::function<void()> fn) override;
    void run();

private:
    std::mutex mutex_;
    std::vector<std::function<void()>> queued_;
};

class WatchedCard {
public:
    // say prints one line for the operator (already prefixed with the card).
    WatchedCard(driver::Transport& transport, QueuedHost& host, int device,
                std::function<void(const std::string&)> say);
    ~WatchedCard();
    WatchedCard(const WatchedCard&) = delete;
    WatchedCard& operator=(const WatchedCard&) = delete;

    // Opens the card and learns who it is; false when it does not open.
    bool open();
    // Readies the card for reception (mapping, running DSP, DMA) and starts
    // it into root, writing the streams when recording. False, with a line
    // said, when the card can't receive.
    bool start(const std::filesystem::path& root, bool recording);
    // Ends the files of this segment and goes on into root.
    void rotate(const std::filesystem::path& root, bool recording);
    // Once a second: the per-second figures rolled and the card polled.
    void tick();
    // Reception stops with every file finished.
    void stopReception();
    // The same, and the card is closed.
    void end();

    int device() const { return device_; }
    metrics::CardFeed feed() const { return {&hub_->stats(), &health_}; }
    // The line of the last minute; figures are averages since the last call.
    std::string statusLine(std::chrono::duration<double> since);

private:
    bool receiveStart(const std::filesystem::path& root, bool recording);
    void writeFailed(std::string_view line);

    int device_;
    std::function<void(const std::string&)> say_;
    QueuedHost& host_;
    driver::DriverLink link_;
    driver::CardIdentity identity_;
    driver::CardHealth health_;
    std::shared_ptr<capture::ReceptionHub> hub_;
    capture::Receiver receiver_;
    bool ready_ = false;     // reception could be started
    bool stopped_ = false;   // writing stopped on a failed write until the next segment
    std::uint64_t lastPictures_ = 0;
    std::uint64_t lastBytes_ = 0;
};

}  // namespace pemblor::cli
