#include "selftest/stream_watch.hpp"

#include <algorithm>

#include "video/preview_picture.hpp"

namespace pemblor::selftest {

void RunHost::post(std::function<void()> fn) {
    const std::lock_guard lock(mutex_);
    posted_.push_back(std::move(fn));
}

void RunHost::drain() {
    std::deque<std::function<void()>> work;
    {
        const std::lock_guard lock(mutex_);
        work.swap(posted_);
    }
    for (auto& fn : work) fn();
}

void PreviewCounter::showPreviewFrame(std::uint32_t channel, std::span<std::uint8_t> picture, std::uint32_t code) {
    if (channel >= common::kChannelCount) return;
    // The least a picture of that code takes: 4:2:0.
    const std::size_t least = video::previewPictureBytes(video::previewPictureSize(code, false), false);
    if (picture.size() < least) misfits_.fetch_add(1);
    if (code == video::kCodeFullSize)
        fullSize_.fetch_add(1);
    else
        previews_[channel].fetch_add(1);
}

void Arrivals::look(const common::ReceiveStats& stats, Clock::time_point now) {
    for (std::size_t slot = 0; slot < common::kSlotCount; ++slot) {
        const std::uint32_t blocks = common::read(stats.slotTable[slot].blockCount);
        if (blocks == blocks_[slot]) continue;
        blocks_[slot] = blocks;
        if (!first_[slot]) first_[slot] = now;
        last_[slot] = now;
    }
}

bool Arrivals::allStarted() const {
    return std::all_of(first_.begin(), first_.end(), [](const auto& t) { return t.has_value(); });
}

bool Arrivals::anyStarted() const {
    return std::any_of(first_.begin(), first_.end(), [](const auto& t) { return t.has_value(); });
}

double Arrivals::activeSeconds(std::size_t slot) const {
    if (!first_[slot]) return 0;
    return std::chrono::duration<double>(last_[slot] - *first_[slot]).count();
}

}  // namespace pemblor::selftest
