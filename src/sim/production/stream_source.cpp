#include "sim/production/stream_source.hpp"

#include <algorithm>

namespace pemblor::sim {

void StreamSource::start(SimClock::time_point now) {
    running_ = true;
    position_ = 0;
    cadence_.start(now);
}

void StreamSource::produce(SimClock::time_point now, std::uint32_t stamp, SimReception& reception) {
    if (!running_ || !loop_) return;
    while (cadence_.due(now)) picture(stamp, reception);
}

void StreamSource::picture(std::uint32_t stamp, SimReception& reception) {
    const AccessUnit& unit = loop_->units[position_];
    position_ = (position_ + 1) % loop_->units.size();
    if (unit.idr) {
        Delivery marked;
        marked.code = kCodeStreamBlocks;
        marked.channel = id_;
        marked.size = static_cast<std::uint32_t>(kBlockHeaderSize + kMarkedBlockPayload);
        marked.number = number_;
        marked.stamp = stamp;
        marked.marked = true;
        reception.push(marked);
    }
    const bool lost = losing_ && !unit.idr && number_ % 2 == 1;
    ++number_;
    for (std::size_t at = 0; at < unit.bytes.size(); at += kMaxBlockPayload) {
        const std::size_t n = std::min(kMaxBlockPayload, unit.bytes.size() - at);
        Delivery block;
        block.code = kCodeStreamBlocks;
        block.channel = id_;
        block.size = static_cast<std::uint32_t>(kBlockHeaderSize + n);
        block.payload = unit.bytes.data() + at;
        if (lost)
            reception.lose(block);
        else
            reception.push(block);
    }
}

}  // namespace pemblor::sim
