#pragma once
// The card's queue of produced items, as a driver's ring: bounded, and when
// full the oldest item makes room (a drop the card counts). A fetch takes
// what fits into one answer: at most eight records, one code-18 run (blocks
// up to the run's limit), one debug run, one picture per area; an item whose
// place is taken waits, and so does every later item of the same place, so
// each place keeps its order. No allocation after construction.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/production/delivery.hpp"

namespace pemblor::sim {

// One record of a fetch and the items it covers (positions in the plan's item list).
struct PlannedRecord {
    std::uint32_t code = 0;
    Place place = Place::Run;
    std::size_t firstItem = 0;
    std::size_t itemCount = 0;
    std::size_t bytes = 0;  // bytes the items take in the area
};

struct FetchPlan {
    std::array<PlannedRecord, kMaxRecordsPerFetch> records{};
    std::size_t recordCount = 0;
    // The items handed out, grouped by record in record order.
    std::vector<Delivery> items;
};

class DeliveryQueue {
public:
    explicit DeliveryQueue(std::size_t capacity);

    std::size_t size() const { return count_; }
    std::size_t capacity() const { return ring_.size(); }
    bool empty() const { return count_ == 0; }

    // Appends an item; when full, the oldest goes first and is returned
    // through dropped (true then).
    bool push(const Delivery& item, Delivery& dropped);
    // Takes what one answer of at most maxRecords records can carry. plan.items
    // must have room for capacity() items (reserved by the caller once).
    void take(std::size_t maxRecords, FetchPlan& plan);
    void clear() { head_ = count_ = 0; }

private:
    Delivery& at(std::size_t i) { return ring_[(head_ + i) % ring_.size()]; }

    std::vector<Delivery> ring_;
    std::vector<std::int8_t> recordOf_;  // per queued item during take: its record, or -1
    std::size_t head_ = 0;
    std::size_t count_ = 0;
};

}  // namespace pemblor::sim
