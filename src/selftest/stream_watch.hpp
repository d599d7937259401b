#pragma once
// What the self-test watches while reception runs: the host its reception
// hub reports through, the preview pictures as they arrive, and when each
// stream slot's blocks first and last arrived.
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/receive_stats.hpp"
#include "common/stream_consumers.hpp"
#include "recording/access_units.hpp"
#include "recording/marked_blocks.hpp"
#include "ui/text_host.hpp"

namespace pemblor::selftest {

using Clock = std::chrono::steady_clock;

// The hub's host on the self-test's own thread: posted work waits until the
// test drains it, so a report from the receive thread never runs inside the
// hub's own lock, as it would with a text host's posting at once.
class RunHost final : public ui::TextHost {
public:
    explicit RunHost(std::filesystem::path root) : TextHost(std::cerr, std::move(root)) {}

    void post(std::function<void()> fn) override;
    // Runs what was posted so far.
    void drain();

private:
    std::mutex mutex_;
    std::deque<std::function<void()>> posted_;
};

// Counts the preview pictures reception hands over, on the receive thread.
class PreviewCounter final : public common::PreviewSink {
public:
    void showPreviewFrame(std::uint32_t channel, std::span<std::uint8_t> picture, std::uint32_t code) override;

    std::uint32_t previews(std::size_t channel) const { return previews_[channel].load(); }
    std::uint32_t fullSize() const { return fullSize_.load(); }
    // Pictures larger than what their place in the area holds.
    std::uint32_t misfits() const { return misfits_.load(); }

private:
    std::array<std::atomic<std::uint32_t>, common::kChannelCount> previews_{};
    std::atomic<std::uint32_t> fullSize_{0};
    std::atomic<std::uint32_t> misfits_{0};
};

// Which slots have sent a block yet.
class Arrivals {
public:
    void look(const common::ReceiveStats& stats);
    bool allStarted() const { return started_ == common::kSlotCount; }
    bool anyStarted() const { return started_ > 0; }

private:
    std::size_t started_ = 0;
};

// When each picture of a stream arrived: its recording is read as reception
// writes it, every few milliseconds, and each access unit noted as it
// completes. The rate is the median of the rates between any two pictures at
// least a quarter second apart: a pause of the machine and the burst that
// catches up after it move only the few pairs around it.
class PictureTimes {
public:
    explicit PictureTimes(const std::filesystem::path& file);
    ~PictureTimes();
    PictureTimes(const PictureTimes&) = delete;
    PictureTimes& operator=(const PictureTimes&) = delete;

    // Reads what reception has written since the last look.
    void look(Clock::time_point now);
    // Pictures a second; nothing before they span enough time.
    std::optional<double> rate() const;

private:
    int fd_ = -1;
    std::uint64_t read_ = 0;
    Clock::time_point now_{};
    std::vector<Clock::time_point> pictures_;
    recording::AccessUnitSplitter splitter_;
    recording::MarkedBlockFilter filter_;
    std::vector<std::uint8_t> piece_;
};

}  // namespace pemblor::selftest
