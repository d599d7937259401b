#pragma once
// The last two minutes of the per-second figures, one sample per status
// tick, taken from the same roll that the status lines show. The statistics
// window draws it. User-interface thread only.
#include <array>
#include <cstddef>
#include <cstdint>

#include "common/receive_stats.hpp"

namespace pemblor::status {

struct StatusSample {
    std::uint64_t tick = 0;  // running number of the status tick that took it
    std::array<std::uint32_t, common::kSlotCount> bitRate{};  // bits in the last second
    std::array<std::uint32_t, common::kSlotCount> blocks{};   // plain and marked blocks
    std::array<std::uint32_t, common::kChannelCount> previews{};
    std::uint32_t dropped = 0;  // records the card dropped in the last second
};

class StatusHistory {
public:
    static constexpr std::size_t kCapacity = 120;

    void push(const StatusSample& sample) {
        ring_[(first_ + size_) % kCapacity] = sample;
        if (size_ < kCapacity) {
            ++size_;
        } else {
            first_ = (first_ + 1) % kCapacity;
        }
        ++pushes_;
    }
    std::size_t size() const { return size_; }
    // Oldest first.
    const StatusSample& at(std::size_t i) const { return ring_[(first_ + i) % kCapacity]; }
    const StatusSample& newest() const { return at(size_ - 1); }
    // Samples pushed so far, including those that have dropped out.
    std::uint64_t pushes() const { return pushes_; }

private:
    std::array<StatusSample, kCapacity> ring_{};
    std::size_t first_ = 0;
    std::size_t size_ = 0;
    std::uint64_t pushes_ = 0;
};

}  // namespace pemblor::status
