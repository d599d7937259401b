#pragma once
// A window object that the user-interface thread publishes for the receive
// thread. The receive thread uses it only inside use(); retract() clears the
// pointer and returns only when no use() that saw it is still running, so
// the window may be destroyed right after. This replaces a fixed pause
// between clearing the pointer and destroying the window with a guarantee.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace pemblor::capture {

template <typename T>
class Published {
public:
    // User-interface thread.
    void publish(T* object) { object_.store(object, std::memory_order_seq_cst); }

    // User-interface thread. The store of null and the load of the user count
    // are sequentially consistent with use()'s increment and load: a use()
    // that saw the object has raised the count before retract() reads it.
    // The wait sleeps on a condition that the last use() to leave signals;
    // each wait is bounded, so a signal that slips between the count's check
    // and the wait costs one slice, never a hang.
    void retract() {
        object_.store(nullptr, std::memory_order_seq_cst);
        if (users_.load(std::memory_order_seq_cst) == 0) return;
        constexpr auto kSlice = std::chrono::milliseconds(5);
        std::unique_lock lock(mutex_);
        waiting_.store(true, std::memory_order_seq_cst);
        while (users_.load(std::memory_order_seq_cst) != 0) left_.wait_for(lock, kSlice);
        waiting_.store(false, std::memory_order_relaxed);
    }

    // Any thread: runs fn(object) when one is published. False when none is.
    template <typename Fn>
    bool use(Fn&& fn) {
        users_.fetch_add(1, std::memory_order_seq_cst);
        const Leave leave{*this};
        T* object = object_.load(std::memory_order_seq_cst);
        if (object) fn(*object);
        return object != nullptr;
    }

    bool published() const { return object_.load(std::memory_order_relaxed) != nullptr; }

private:
    struct Leave {
        Published& p;
        ~Leave() {
            if (p.users_.fetch_sub(1, std::memory_order_seq_cst) == 1 && p.waiting_.load(std::memory_order_seq_cst)) {
                const std::lock_guard lock(p.mutex_);
                p.left_.notify_all();
            }
        }
    };

    std::atomic<T*> object_{nullptr};
    std::atomic<std::uint32_t> users_{0};
    std::atomic<bool> waiting_{false};
    std::mutex mutex_;
    std::condition_variable left_;
};

}  // namespace pemblor::capture
