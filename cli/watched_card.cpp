#include "watched_card.hpp"

#include "capture/dma_setup.hpp"
#include "capture/recording_header.hpp"
#include "common/printf_line.hpp"
#include "driver/dsp_poll.hpp"

#include <thread>

namespace pemblor::cli {

void QueuedHost::post(std::function<void()> fn) {
    const std::lock_guard lock(mutex_);
    queued_.push_back(std::move(fn));
}

void QueuedHost::run() {
    std::vector<std::function<void()>> now;
    {
        const std::lock_guard lock(mutex_);
        now.swap(queued_);
    }
    for (auto& fn : now) fn();
}

WatchedCard::WatchedCard(driver::Transport& transport, QueuedHost& host, int device,
                         std::function<void(const std::string&)> say)
    : device_(device),
      say_(std::move(say)),
      host_(host),
      link_(transport),
      hub_(capture::ReceptionHub::create(host, [this](std::string_view line) { writeFailed(line); })),
      receiver_(link_, hub_) {}

WatchedCard::~WatchedCard() { end(); }

bool WatchedCard::open() {
    if (!link_.openDevice(driver::DriverLink::devicePath(device_)).valid()) return false;
    identity_ = driver::CardIdentity::read(link_);
    health_.setIdentity(device_, identity_);
    health_.poll(link_);
    return true;
}

bool WatchedCard::start(const std::filesystem::path& root, bool recording) {
    if (!identity_.versionAccepted()) {
        say_(common::printfLine("driver version %08X is too old, reception not started", identity_.version));
        return false;
    }
    if (link_.mapAddresses() == 0) {
        say_("the address mapping failed, reception not started");
        return false;
    }
    const auto sleep = [](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
    if (!driver::waitForDspRunning(link_, capture::kSetupPolls, sleep)) {
        say_("the DSP does not run its program, reception not started");
        return false;
    }
    if (!capture::runDmaRequests(link_, ui::systemLocalTime(), [](std::string_view) {})) {
        say_("the DMA set-up failed, reception not started");
        return false;
    }
    ready_ = true;
    return receiveStart(root, recording);
}

bool WatchedCard::receiveStart(const std::filesystem::path& root, bool recording) {
    stopped_ = false;
    hub_->setSaving(recording);
    switch (receiver_.start(root, device_, capture::packLocalTime(ui::systemLocalTime()))) {
        case capture::Receiver::Start::kStarted: return true;
        case capture::Receiver::Start::kNoMapping: say_("the address mapping lacks an area, reception not started"); break;
        case capture::Receiver::Start::kNoEvent: say_("no data event could be created, reception not started"); break;
        case capture::Receiver::Start::kOpenFailed:
            say_(receiver_.failedPath().string() + ": cannot be opened, reception not started");
            break;
    }
    return false;
}

void WatchedCard::rotate(const std::filesystem::path& root, bool recording) {
    if (!ready_) return;
    // What the card produces meanwhile waits in its queue for the next fetch.
    if (receiver_.running()) receiver_.stop(capture::packLocalTime(ui::systemLocalTime()));
    receiveStart(root, recording);
}

void WatchedCard::tick() {
    common::ReceiveStats& stats = hub_->stats();
    if (common::read(stats.receiving) != 0) common::add(stats.seconds);
    common::rollSecond(stats);
    health_.poll(link_);
}

void WatchedCard::writeFailed(std::string_view line) {
    say_(std::string(line));
    // The card's streams stop with its first failed write; the next segment tries again.
    if (stopped_) return;
    stopped_ = true;
    hub_->setSaving(false);
    say_("writing stopped until the next segment");
}

void WatchedCard::stopReception() { receiver_.end(capture::packLocalTime(ui::systemLocalTime())); }

void WatchedCard::end() {
    stopReception();
    if (!link_.context().isOpen()) return;
    link_.unmapAddresses();
    link_.closeDevice();
}

std::string WatchedCard::statusLine(std::chrono::duration<double> since) {
    const common::ReceiveStats& stats = hub_->stats();
    std::uint64_t pictures = 0;
    std::uint64_t bytes = 0;
    for (const common::StreamSlot& slot : stats.slotTable) {
        pictures += common::read(slot.pictureCount);
        bytes += common::read(slot.bytesReceived);
    }
    const double seconds = since.count() > 0 ? since.count() : 1.0;
    const double pictureRate = static_cast<double>(pictures - lastPictures_) / seconds;
    const double kbits = static_cast<double>(bytes - lastBytes_) * 8 / 1000 / seconds;
    lastPictures_ = pictures;
    lastBytes_ = bytes;
    std::uint64_t written = 0;
    for (const common::Total& kind : stats.files.bytes) written += common::read(kind);
    const std::string dsp = !health_.up()           ? "down"
                            : health_.dspRunning() ? "running"
                                                   : "state " + std::to_string(health_.dspState());
    return common::printfLine("dsp %s, reception %s, %.1f pictures/s, %.0f kbit/s, dropped %u by the card and %u "
                              "by the console, %llu bytes written, %u write errors",
                              dsp.c_str(), common::read(stats.receiving) != 0 ? "on" : "off", pictureRate, kbits,
                              health_.droppedRecords(), common::read(stats.counters.cutBlocks),
                              static_cast<unsigned long long>(written), common::read(stats.files.errors));
}

}  // namespace pemblor::cli
