#include "driver/card_health.hpp"

#include <array>

#include "driver/little_endian.hpp"

namespace pemblor::driver {

void CardHealth::setIdentity(int device, const CardIdentity& identity) {
    const std::lock_guard lock(mutex_);
    identity_ = {device, identity.printableSerial(), identity.slot, identity.version};
}

void CardHealth::clearIdentity() {
    {
        const std::lock_guard lock(mutex_);
        identity_ = {};
    }
    up_.store(false, std::memory_order_relaxed);
}

CardHealth::Identity CardHealth::identity() const {
    const std::lock_guard lock(mutex_);
    return identity_;
}

void CardHealth::poll(DriverLink& link) {
    std::uint32_t state = 0;
    const bool stateAnswered = link.dspState(state);
    std::array<std::uint8_t, (kDroppedItemsWord + 1) * 4> counters{};
    const bool countersAnswered = link.deviceInfo(kCounterCategory, counters) == counters.size();
    // The last known figures stay while the card does not answer.
    if (stateAnswered) common::set(dspState_, state);
    if (countersAnswered) common::set(dropped_, loadU32(counters, kDroppedItemsWord * 4));
    up_.store(stateAnswered || countersAnswered, std::memory_order_relaxed);
}

}  // namespace pemblor::driver
