#pragma once
// What the metrics show of a card besides reception: who it is, whether it
// answers, its DSP state and the records it dropped. Whoever owns the card's
// link polls it (once a second, on its own thread); a scrape only reads.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "common/receive_stats.hpp"
#include "driver/card_identity.hpp"
#include "driver/request_codes.hpp"

namespace pemblor::driver {

class CardHealth {
public:
    struct Identity {
        int device = -1;  // -1: no card
        std::string serial;
        std::uint32_t slot = 0;
        std::uint32_t version = 0;
    };

    void setIdentity(int device, const CardIdentity& identity);
    // No card is open (a console between cards).
    void clearIdentity();
    Identity identity() const;

    // Asks the card for its DSP state and its counters; a card that answers
    // neither reads as down.
    void poll(DriverLink& link);

    bool up() const { return up_.load(std::memory_order_relaxed); }
    std::uint32_t dspState() const { return common::read(dspState_); }
    bool dspRunning() const { return up() && dspState() == kDspRunning; }
    std::uint32_t droppedRecords() const { return common::read(dropped_); }

private:
    mutable std::mutex mutex_;  // identity_
    Identity identity_;
    std::atomic<bool> up_{false};
    common::Counter dspState_{0};
    common::Counter dropped_{0};
};

}  // namespace pemblor::driver
