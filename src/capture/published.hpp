#pragma once
// A window object that the user-interface thread publishes for the receive
// thread. The receive thread uses it only inside use(); retract() clears the
// pointer and returns only when no use() that saw it is still running, so
// the window may be destroyed right after. This replaces a fixed pause
// between clearing the pointer and destroying the window with a guarantee.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace pemblor::capture {

template <typename T>
class Published {
public:
    // User-interface thread.
    void publish(T* object) { object_.store(object, std::memory_order_seq_cst); }

    // User-interface thread. The store of null and the load of the user count
    // are sequentially consistent with use()'s increment and load: a use()
    // that saw the object has raised the count before retract() reads it.
    void retract() {
        object_.store(nullptr, std::memory_order_seq_cst);
        for (int spins = 0; users_.load(std::memory_order_seq_cst) != 0; ++spins) {
            if (spins < 64) {
                std::this_thread::yield();
            } else {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
    }

    // Any thread: runs fn(object) when one is published. False when none is.
    template <typename Fn>
    bool use(Fn&& fn) {
        users_.fetch_add(1, std::memory_order_seq_cst);
        const Leave leave{users_};
        T* object = object_.load(std::memory_order_seq_cst);
        if (object) fn(*object);
        return object != nullptr;
    }

    bool published() const { return object_.load(std::memory_order_relaxed) != nullptr; }

private:
    struct Leave {
        std::atomic<std::uint32_t>& users;
        ~Leave() { users.fetch_sub(1, std::memory_order_release); }
    };

    std::atomic<T*> object_{nullptr};
    std::atomic<std::uint32_t> users_{0};
};

}  // namespace pemblor::capture
