// Reception on the card's side: the data event, the fetch, and the card's
// own thread that produces data and signals the event while records wait.
#include "driver/little_endian.hpp"
#include "sim/production/encoded_loops.hpp"
#include "sim/card/sim_answer.hpp"
#include "sim/card/sim_card.hpp"

namespace pemblor::sim {

using driver::ControlResult;

// Request 0x222084: the event must exist; a new one replaces the old.
ControlResult SimCard::registerEvent(const Request& r) {
    if (r.in.size() != 4) return kRefused;
    const driver::EventHandle event = driver::loadU32(r.in, 0);
    if (!events_.exists(event)) return kRefused;
    reception_.registerEvent(r.handle, event, SimClock::now());
    production_.restart(SimClock::now());
    startProducer();
    signalWaiting();  // a replay waits from the start
    poke();
    return done(0);
}

ControlResult SimCard::fetchNotifications(const Request& r) {
    if (!r.in.empty()) return kRefused;
    const std::size_t bytes = reception_.fetch(r.out, areas_, &production_, SimClock::now());
    // The fetch acknowledges the one before; what is left calls again.
    signalWaiting();
    if (reception_.replaying()) poke();  // the producer sleeps until the next fetch falls due
    return done(bytes);
}

void SimCard::signalWaiting() {
    const auto event = reception_.event();
    if (!event || !reception_.waiting(SimClock::now())) return;
    if (!events_.signal(*event)) reception_.end();  // the console closed it: reception is over
}

void SimCard::poke() {
    poked_ = true;
    wake_.notify_all();
}

void SimCard::startProducer() {
    if (!producer_.joinable()) producer_ = std::thread([this] { produceLoop(); });
}

void SimCard::produceLoop() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (gone(SimClock::now())) {
            wake_.wait(lock, [this] { return stopping_; });
            break;
        }
        // A stream's loop is encoded once, ahead, without the card's lock:
        // the card answers requests meanwhile.
        if (const auto missing = production_.missingLoop(dsp_); missing && !loopFailed_) {
            lock.unlock();
            std::string error;
            auto loop = encodedLoop(missing->second, error);
            lock.lock();
            if (loop)
                production_.installLoop(missing->first, std::move(loop));
            else
                loopFailed_ = true;  // the streams stay silent; category 2 says so
            continue;
        }
        const std::size_t before = reception_.queued();
        const SimClock::time_point now = SimClock::now();
        SimClock::time_point next = production_.produce(now, dsp_, reception_);
        if (reception_.queued() != before) signalWaiting();
        // A paced replay: its next fetch is announced when it falls due.
        // Once due it waits for the console's fetch, which pokes this loop.
        if (const auto due = reception_.replayDue()) {
            if (*due <= now)
                signalWaiting();
            else
                next = std::min(next, *due);
        }
        wake_.wait_until(lock, next, [this] { return stopping_ || poked_; });
        poked_ = false;
    }
}

}  // namespace pemblor::sim
