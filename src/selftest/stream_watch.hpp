#pragma once
// What the self-test watches while reception runs: the host its reception
// hub reports through, the preview pictures as they arrive, and when each
// stream slot's blocks first and last arrived.
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/receive_stats.hpp"
#include "common/stream_consumers.hpp"
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

// When each slot's blocks arrived: looked at every few milliseconds.
class Arrivals {
public:
    void look(const common::ReceiveStats& stats, Clock::time_point now);
    bool allStarted() const;
    bool anyStarted() const;
    // Seconds from a slot's first to its last arrival; 0 before two looks saw it grow.
    double activeSeconds(std::size_t slot) const;

private:
    std::array<std::uint32_t, common::kSlotCount> blocks_{};
    std::array<std::optional<Clock::time_point>, common::kSlotCount> first_{};
    std::array<Clock::time_point, common::kSlotCount> last_{};
};

}  // namespace pemblor::selftest
