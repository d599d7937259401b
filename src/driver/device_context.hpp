#pragma once
#include <array>
#include <atomic>
#include <cstdint>

#include "driver/request_codes.hpp"
#include "driver/transport.hpp"

namespace pemblor::driver {

// The one open device of the program and the data event of reception.
// The handle is written only by the user-interface thread while the receive
// thread is not running, and read by both; it is kept whole in an atomic.
struct DeviceContext {
    std::atomic<std::uint64_t> handle{DeviceHandle::invalid().value};
    std::atomic<EventHandle> dataEvent{kNoEvent};
    // The address-mapping record as last fetched (zeros until then).
    std::array<std::uint8_t, kMappingRecordSize> mapping{};

    DeviceHandle device() const { return DeviceHandle{handle.load(std::memory_order_relaxed)}; }
    void setDevice(DeviceHandle h) { handle.store(h.value, std::memory_order_relaxed); }
    bool isOpen() const { return device().valid(); }
};

}  // namespace pemblor::driver
