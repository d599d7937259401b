#pragma once
// A fake Transport for unit tests: it records every request and answers from a
// script, per control code. Safe to call from several threads at once.
//
//   RecordingTransport t;
//   auto dev = t.addDevice("\\\\.\\KSVECWDM0");        // open(path) now succeeds
//   t.setAnswer(kDriverVersion, {.out = le32({0x01070605, 0})});
//   t.queueAnswer(kDspState, {.ok = false});            // next 0x222418 only
//   t.setHandler([](const RecordedRequest& r) -> std::optional<Answer> {
//       if (r.code == kAuxCommand && r.word(0) == 3) return Answer{.out = {1, 2}};
//       return std::nullopt;                             // fall back to the script
//   });
//   ... run the code under test ...
//   EXPECT_EQ(t.requestsOf(kDeviceInfo).at(0).in, le32({9, 0}));
//
// How a request is answered, first match wins: the handler; the queued answers
// of its code (oldest first); the standing answer of its code; the default
// answer (ok, nothing written, 0 bytes). A request on a handle that is not open
// fails with 0 bytes before any of that, as on the platform (it is still
// recorded). An answer's bytes are copied into the output area up to its size;
// the reported count is Answer::bytes when set (which may exceed the area, to
// model a faulty driver), else the number of bytes copied.
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "driver/little_endian.hpp"
#include "driver/transport.hpp"

namespace pemblor::testing {

// Little-endian bytes of u32 words, for scripting answers and comparing records.
inline std::vector<std::uint8_t> le32(std::initializer_list<std::uint32_t> words) {
    std::vector<std::uint8_t> bytes(words.size() * 4);
    std::size_t at = 0;
    for (std::uint32_t w : words) {
        driver::storeU32(bytes, at, w);
        at += 4;
    }
    return bytes;
}

struct RecordedRequest {
    driver::DeviceHandle handle;
    std::uint32_t code = 0;
    std::vector<std::uint8_t> in;         // the input record as sent
    std::size_t outSize = 0;              // size of the output area
    std::vector<std::uint8_t> outBefore;  // the output area as handed over (sub-code 14 carries data here)

    // The i-th u32 of the input record (0 when the record is shorter).
    std::uint32_t word(std::size_t i) const { return in.size() >= 4 * i + 4 ? driver::loadU32(in, 4 * i) : 0; }
};

struct Answer {
    bool ok = true;
    std::vector<std::uint8_t> out{};      // copied to the output area, cut to its size
    std::optional<std::uint32_t> bytes{}; // reported count; default: the bytes copied
};

class RecordingTransport : public driver::Transport {
public:
    using Handler = std::function<std::optional<Answer>(const RecordedRequest&)>;

    // --- devices ---------------------------------------------------------------
    // Makes open(path) succeed; every open returns a fresh handle.
    void addDevice(std::string path) {
        std::lock_guard lock(mutex_);
        devices_.insert(std::move(path));
    }
    void removeDevice(const std::string& path) {
        std::lock_guard lock(mutex_);
        devices_.erase(path);
    }

    // --- script ------------------------------------------------------------------
    void setAnswer(std::uint32_t code, Answer answer) {
        std::lock_guard lock(mutex_);
        standing_[code] = std::move(answer);
    }
    void queueAnswer(std::uint32_t code, Answer answer) {
        std::lock_guard lock(mutex_);
        queued_[code].push_back(std::move(answer));
    }
    // Consulted first for every request on an open handle; nullopt falls through.
    // Runs under the transport's lock: it must not call back into the transport.
    void setHandler(Handler handler) {
        std::lock_guard lock(mutex_);
        handler_ = std::move(handler);
    }

    // createEvent returns kNoEvent while set.
    void setFailCreateEvent(bool fail) {
        std::lock_guard lock(mutex_);
        failCreateEvent_ = fail;
    }

    // --- areas of the address-mapping record ---------------------------------------
    // A zeroed area of size bytes that area(handle, token) resolves for any open
    // handle. The span stays valid for the transport's life.
    std::span<std::uint8_t> addArea(std::uint32_t token, std::size_t size) {
        std::lock_guard lock(mutex_);
        auto& area = areas_[token];
        area.assign(size, 0);
        return area;
    }

    // --- what happened ---------------------------------------------------------------
    std::vector<RecordedRequest> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    std::vector<RecordedRequest> requestsOf(std::uint32_t code) const {
        std::lock_guard lock(mutex_);
        std::vector<RecordedRequest> found;
        std::copy_if(requests_.begin(), requests_.end(), std::back_inserter(found),
                     [code](const RecordedRequest& r) { return r.code == code; });
        return found;
    }
    std::size_t count() const {
        std::lock_guard lock(mutex_);
        return requests_.size();
    }
    std::size_t count(std::uint32_t code) const { return requestsOf(code).size(); }
    std::vector<std::string> openedPaths() const {  // every open call, also failed ones
        std::lock_guard lock(mutex_);
        return openedPaths_;
    }
    std::vector<driver::DeviceHandle> closedHandles() const {  // every close call
        std::lock_guard lock(mutex_);
        return closedHandles_;
    }
    std::size_t openHandleCount() const {
        std::lock_guard lock(mutex_);
        return openHandles_.size();
    }
    void clearRecords() {
        std::lock_guard lock(mutex_);
        requests_.clear();
        openedPaths_.clear();
        closedHandles_.clear();
    }

    // --- Transport -----------------------------------------------------------------------
    driver::DeviceHandle open(std::string_view path) override {
        std::lock_guard lock(mutex_);
        openedPaths_.emplace_back(path);
        if (!devices_.contains(std::string(path))) return driver::DeviceHandle::invalid();
        const driver::DeviceHandle handle{nextHandle_++};
        openHandles_.insert(handle.value);
        return handle;
    }

    driver::ControlResult control(driver::DeviceHandle handle, std::uint32_t code,
                                  std::span<const std::uint8_t> in, std::span<std::uint8_t> out) override {
        std::lock_guard lock(mutex_);
        RecordedRequest& r = requests_.emplace_back();
        r.handle = handle;
        r.code = code;
        r.in.assign(in.begin(), in.end());
        r.outSize = out.size();
        r.outBefore.assign(out.begin(), out.end());
        if (!openHandles_.contains(handle.value)) return {};
        const Answer answer = pick(r);
        const std::size_t copied = std::min(answer.out.size(), out.size());
        std::copy_n(answer.out.begin(), copied, out.begin());
        return {answer.ok, answer.bytes.value_or(static_cast<std::uint32_t>(copied))};
    }

    bool close(driver::DeviceHandle handle) override {
        std::lock_guard lock(mutex_);
        closedHandles_.push_back(handle);
        return openHandles_.erase(handle.value) != 0;
    }

    // Auto-reset events with real waits, so threaded code can be tested.
    driver::EventHandle createEvent() override {
        std::lock_guard lock(mutex_);
        if (failCreateEvent_) return driver::kNoEvent;
        const driver::EventHandle event = nextEvent_++;
        events_[event] = false;
        return event;
    }
    bool signalEvent(driver::EventHandle event) override {
        {
            std::lock_guard lock(mutex_);
            auto it = events_.find(event);
            if (it == events_.end()) return false;
            it->second = true;
        }
        eventChanged_.notify_all();
        return true;
    }
    driver::WaitResult waitEvent(driver::EventHandle event, int timeoutMs) override {
        std::unique_lock lock(mutex_);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            auto it = events_.find(event);
            if (it == events_.end()) return driver::WaitResult::Failed;
            if (it->second) {
                it->second = false;
                return driver::WaitResult::Signalled;
            }
            if (eventChanged_.wait_until(lock, deadline) == std::cv_status::timeout) {
                auto again = events_.find(event);
                if (again == events_.end()) return driver::WaitResult::Failed;
                if (!again->second) return driver::WaitResult::Timeout;
            }
        }
    }
    bool closeEvent(driver::EventHandle event) override {
        bool closed = false;
        {
            std::lock_guard lock(mutex_);
            closed = events_.erase(event) != 0;
        }
        eventChanged_.notify_all();  // a waiter on it ends with Failed
        return closed;
    }

    std::span<std::uint8_t> area(driver::DeviceHandle handle, std::uint32_t word) override {
        std::lock_guard lock(mutex_);
        auto it = areas_.find(word);
        if (!openHandles_.contains(handle.value) || it == areas_.end()) return {};
        return it->second;
    }

private:
    Answer pick(const RecordedRequest& r) {
        if (handler_) {
            if (std::optional<Answer> a = handler_(r)) return *std::move(a);
        }
        if (auto q = queued_.find(r.code); q != queued_.end() && !q->second.empty()) {
            Answer a = std::move(q->second.front());
            q->second.pop_front();
            return a;
        }
        if (auto s = standing_.find(r.code); s != standing_.end()) return s->second;
        return {};
    }

    mutable std::mutex mutex_;
    std::condition_variable eventChanged_;
    std::set<std::string> devices_;
    std::set<std::uint64_t> openHandles_;
    std::uint64_t nextHandle_ = 1;
    driver::EventHandle nextEvent_ = 0x100;
    std::map<driver::EventHandle, bool> events_;
    std::map<std::uint32_t, std::vector<std::uint8_t>> areas_;
    std::map<std::uint32_t, Answer> standing_;
    std::map<std::uint32_t, std::deque<Answer>> queued_;
    Handler handler_;
    bool failCreateEvent_ = false;
    std::vector<RecordedRequest> requests_;
    std::vector<std::string> openedPaths_;
    std::vector<driver::DeviceHandle> closedHandles_;
};

}  // namespace pemblor::testing
