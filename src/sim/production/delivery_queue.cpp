#include "sim/production/delivery_queue.hpp"

#include <algorithm>

namespace pemblor::sim {

namespace {

// Bytes one record of a place may cover in its area.
std::size_t limitOf(Place place) {
    switch (place) {
        case Place::Run: return kRunLimit;
        case Place::Debug: return kDebugRecordsPerFetch * kDebugRecordSize;
        case Place::OriginalVideo: return kOriginalVideoAreaSize;
        case Place::FullPreview: return kFullPreviewAreaSize;
        default: return driver::kPreviewSlotSize;
    }
}

// Runs gather many items into one record; pictures take their place whole.
bool gathers(Place place) { return place == Place::Run || place == Place::Debug; }

std::uint32_t recordCode(Place place, const Delivery& first) {
    switch (place) {
        case Place::Run: return kCodeStreamBlocks;
        case Place::Debug: return kCodeDebugRecords;
        default: return first.code;
    }
}

}  // namespace

Place placeOf(const Delivery& d) {
    switch (d.code) {
        case kCodeStreamBlocks: return Place::Run;
        case kCodeDebugRecords: return Place::Debug;
        case kCodeOriginalVideo: return Place::OriginalVideo;
        case kCodeFullPreview: return Place::FullPreview;
        default: return static_cast<Place>(static_cast<std::size_t>(Place::PreviewSlot0) + (d.channel & 3));
    }
}

DeliveryQueue::DeliveryQueue(std::size_t capacity) : ring_(std::max<std::size_t>(capacity, 1)), recordOf_(ring_.size()) {}

bool DeliveryQueue::push(const Delivery& item, Delivery& dropped) {
    bool full = count_ == ring_.size();
    if (full) {
        dropped = at(0);
        head_ = (head_ + 1) % ring_.size();
        --count_;
    }
    at(count_) = item;
    ++count_;
    return full;
}

void DeliveryQueue::take(std::size_t maxRecords, FetchPlan& plan) {
    maxRecords = std::min(maxRecords, kMaxRecordsPerFetch);
    plan.recordCount = 0;
    plan.items.clear();
    std::array<int, kPlaceCount> recordOfPlace;
    recordOfPlace.fill(-1);
    std::array<bool, kPlaceCount> waiting{};  // a place whose later items wait for the next fetch
    for (std::size_t i = 0; i < count_; ++i) {
        recordOf_[i] = -1;
        const Delivery& d = at(i);
        const Place place = placeOf(d);
        const auto p = static_cast<std::size_t>(place);
        if (waiting[p]) continue;
        int r = recordOfPlace[p];
        const std::size_t used = r < 0 ? 0 : plan.records[static_cast<std::size_t>(r)].bytes;
        if ((r >= 0 && !gathers(place)) || d.size > limitOf(place) - used ||
            (r < 0 && plan.recordCount == maxRecords)) {
            waiting[p] = true;
            continue;
        }
        if (r < 0) {
            r = static_cast<int>(plan.recordCount++);
            plan.records[static_cast<std::size_t>(r)] = PlannedRecord{recordCode(place, d), place, 0, 0, 0};
            recordOfPlace[p] = r;
        }
        PlannedRecord& record = plan.records[static_cast<std::size_t>(r)];
        record.bytes += d.size;
        ++record.itemCount;
        recordOf_[i] = static_cast<std::int8_t>(r);
    }
    // Items grouped by record, each record's in queue order.
    for (std::size_t r = 0; r < plan.recordCount; ++r) {
        plan.records[r].firstItem = plan.items.size();
        for (std::size_t i = 0; i < count_; ++i)
            if (recordOf_[i] == static_cast<std::int8_t>(r)) plan.items.push_back(at(i));
    }
    // The rest closes up behind the head, in order.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count_; ++i)
        if (recordOf_[i] < 0) at(kept++) = at(i);
    count_ = kept;
}

}  // namespace pemblor::sim
