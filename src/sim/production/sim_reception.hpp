#pragma once
// The card's side of reception: the data event the console registered, the
// queue of produced items, and the fetch (request 0x226548) that hands out
// up to eight notification records and only then fills the areas they point
// at, so an area the last fetch pointed at is never overwritten before the
// next fetch. A replay takes the place of the queue. Not thread-safe: the
// card's lock covers it.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

#include "driver/transport.hpp"
#include "sim/production/delivery_ledger.hpp"
#include "sim/production/delivery_queue.hpp"
#include "sim/production/replay_cursor.hpp"
#include "sim/settings/replay.hpp"
#include "sim/card/sim_areas.hpp"

namespace pemblor::sim {

// Writes a picture item's bytes (d.size of them) into its place.
class PictureSource {
public:
    virtual void render(const Delivery& d, std::span<std::uint8_t> out) = 0;

protected:
    ~PictureSource() = default;
};

class SimReception {
public:
    // malformed: now and then a fetch answers a malformed run instead; loop:
    // the replay starts over after its last fetch.
    SimReception(std::size_t queueItems, std::shared_ptr<const ReplayScript> replay, bool malformed = false,
                 bool loop = false);

    // Request 0x222084 through a handle, at now; the console's earlier items
    // are forgotten; a replay's clock starts.
    void registerEvent(std::uint64_t handle, driver::EventHandle event, SimClock::time_point now);
    // Reception ended (its event closed, or the handle that registered it):
    // what still waits is left undelivered, and nothing more is queued.
    void end();
    void handleClosed(std::uint64_t handle) {
        if (event_ && handle == handle_) end();
    }
    std::optional<driver::EventHandle> event() const { return event_; }
    // True while a replay stands in for the card's own data (before and after it ran).
    bool replaying() const { return replay_ != nullptr; }
    // Records wait for a fetch (a paced replay's next fetch is due by now).
    bool waiting(SimClock::time_point now) const;
    // When a paced replay's next fetch falls due; nothing otherwise.
    std::optional<SimClock::time_point> replayDue() const;

    // Queues an item; an overflow drops (and counts) the oldest.
    void push(const Delivery& d);
    // An item the card itself lost (a fault): counted as dropped, never queued.
    void lose(const Delivery& d) {
        if (event_ && !replay_) ledger_.dropped(d);
    }
    // Request 0x226548: records into out (up to out.size() / 16, at most
    // eight), the areas filled for them. Returns the bytes of records.
    std::size_t fetch(std::span<std::uint8_t> out, MappedAreas& areas, PictureSource* pictures,
                      SimClock::time_point now);

    const DeliveryLedger& ledger() const { return ledger_; }
    std::size_t queued() const { return queue_.size(); }

private:
    std::size_t fetchReplay(std::span<std::uint8_t> out, MappedAreas& areas, SimClock::time_point now);
    std::size_t fetchMalformed(std::span<std::uint8_t> out, MappedAreas& areas);
    void writeRecord(const PlannedRecord& r, std::span<std::uint8_t> out, std::size_t index, MappedAreas& areas,
                     PictureSource* pictures);
    void writeItems(const PlannedRecord& r, std::span<std::uint8_t> area, PictureSource* pictures);
    void account(std::uint32_t code, std::uint32_t byteCount, MappedAreas& areas);

    DeliveryQueue queue_;
    FetchPlan plan_;
    std::optional<driver::EventHandle> event_;
    std::uint64_t handle_ = 0;
    std::shared_ptr<const ReplayScript> replay_;
    std::optional<ReplayCursor> cursor_;
    bool malformed_ = false;
    std::uint64_t answered_ = 0;  // fetches that handed out the card's own data
    DeliveryLedger ledger_;
};

}  // namespace pemblor::sim
