#include "sim/production/delivery_ledger.hpp"

#include <algorithm>

#include "driver/little_endian.hpp"

namespace pemblor::sim {

// The walk of the receive side: a block counts when its header lies inside
// the run; its payload only when it does too.
void DeliveryLedger::streamRun(std::span<const std::uint8_t> area, std::uint32_t n) {
    const std::size_t end = std::min<std::size_t>(n, area.size());
    std::size_t at = 0;
    while (at + kBlockHeaderSize < end) {
        const std::uint32_t total = driver::loadU32(area, at);
        const std::uint32_t id = driver::loadU32(area, at + 4);
        at += kBlockHeaderSize;
        const std::uint32_t payload = total - static_cast<std::uint32_t>(kBlockHeaderSize);
        SlotTally& slot = slots_[slotOfStream(id)];
        if (total < kBlockHeaderSize || payload > end - at) break;
        ++slot.blocks;
        slot.payloadBytes += payload;
        slot.payloadHash.update(area.subspan(at, payload));
        at += payload;
    }
}

void DeliveryLedger::originalVideo(std::span<const std::uint8_t> area, std::uint32_t n) {
    const std::size_t bytes = std::min<std::size_t>(n, area.size());
    originalVideoBytes_ += bytes;
    originalVideoHash_.update(area.first(bytes));
}

void DeliveryLedger::dropped(const Delivery& d) {
    switch (d.code) {
        case kCodeStreamBlocks: ++drops_.blocks; break;
        case kCodeOriginalVideo: ++drops_.originalVideo; break;
        case kCodeDebugRecords: ++drops_.debugRecords; break;
        default: ++drops_.previews; break;
    }
}

}  // namespace pemblor::sim
