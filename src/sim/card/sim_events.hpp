#pragma once
// Auto-reset events as the platform provides them: created not signalled, a
// signal releases exactly one wait and resets. Identified by 32-bit values so
// that a request record can carry one.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "driver/transport.hpp"

namespace pemblor::sim {

class EventTable {
public:
    // Bounds what a leaking caller can pile up.
    static constexpr std::size_t kMaxEvents = 4096;

    // A fresh handle, never 0 (none) or 0xFFFFFFFF (closed); 0 when the table is full.
    driver::EventHandle create();
    bool signal(driver::EventHandle event);
    bool exists(driver::EventHandle event) { return find(event) != nullptr; }
    // Negative timeout: wait without limit. A wait in progress when the event
    // is closed ends with Failed.
    driver::WaitResult wait(driver::EventHandle event, int timeoutMs);
    bool close(driver::EventHandle event);

private:
    struct Event {
        std::mutex mutex;
        std::condition_variable wake;
        bool signalled = false;
        bool closed = false;
    };

    std::shared_ptr<Event> find(driver::EventHandle event);

    std::mutex mutex_;
    std::unordered_map<driver::EventHandle, std::shared_ptr<Event>> events_;
    driver::EventHandle last_ = 0x1F0;
};

}  // namespace pemblor::sim
