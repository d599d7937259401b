#include "sim/card/sim_events.hpp"

#include <chrono>

namespace pemblor::sim {

driver::EventHandle EventTable::create() {
    std::lock_guard lock(mutex_);
    if (events_.size() >= kMaxEvents) return driver::kNoEvent;
    // Steps of 4 like the platform's handles; values in use are skipped after a wrap.
    do {
        last_ += 4;
    } while (last_ == driver::kNoEvent || last_ == driver::kClosedEvent || events_.contains(last_));
    events_.emplace(last_, std::make_shared<Event>());
    return last_;
}

std::shared_ptr<EventTable::Event> EventTable::find(driver::EventHandle event) {
    std::lock_guard lock(mutex_);
    const auto it = events_.find(event);
    return it == events_.end() ? nullptr : it->second;
}

bool EventTable::signal(driver::EventHandle event) {
    const auto e = find(event);
    if (!e) return false;
    {
        std::lock_guard lock(e->mutex);
        if (e->closed) return false;
        e->signalled = true;
    }
    e->wake.notify_one();
    return true;
}

driver::WaitResult EventTable::wait(driver::EventHandle event, int timeoutMs) {
    const auto e = find(event);
    if (!e) return driver::WaitResult::Failed;
    std::unique_lock lock(e->mutex);
    const auto ready = [&] { return e->signalled || e->closed; };
    if (timeoutMs < 0) {
        e->wake.wait(lock, ready);
    } else if (!e->wake.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
        return driver::WaitResult::Timeout;
    }
    if (e->closed) return driver::WaitResult::Failed;
    e->signalled = false;
    return driver::WaitResult::Signalled;
}

bool EventTable::close(driver::EventHandle event) {
    std::shared_ptr<Event> e;
    {
        std::lock_guard lock(mutex_);
        const auto it = events_.find(event);
        if (it == events_.end()) return false;
        e = std::move(it->second);
        events_.erase(it);
    }
    {
        std::lock_guard lock(e->mutex);
        e->closed = true;
    }
    e->wake.notify_all();
    return true;
}

}  // namespace pemblor::sim
