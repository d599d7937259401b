#pragma once
// A Transport that logs every request as it completes (code and name, input
// record in hex, success, byte count, the first output bytes, duration) and
// passes everything on to the transport it wraps. Used for --trace; when
// tracing is off it is simply not in the chain.
#include <chrono>
#include <mutex>
#include <ostream>

#include "driver/transport.hpp"

namespace pemblor::driver {

class TracingTransport : public Transport {
public:
    TracingTransport(Transport& inner, std::ostream& log) : inner_(inner), log_(log) {}

    DeviceHandle open(std::string_view path) override;
    ControlResult control(DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> in,
                          std::span<std::uint8_t> out) override;
    bool close(DeviceHandle handle) override;
    EventHandle createEvent() override { return inner_.createEvent(); }
    bool signalEvent(EventHandle event) override { return inner_.signalEvent(event); }
    WaitResult waitEvent(EventHandle event, int timeoutMs) override { return inner_.waitEvent(event, timeoutMs); }
    bool closeEvent(EventHandle event) override { return inner_.closeEvent(event); }
    std::span<std::uint8_t> area(DeviceHandle handle, std::uint32_t word) override { return inner_.area(handle, word); }

private:
    Transport& inner_;
    std::ostream& log_;
    std::mutex mutex_;  // one line at a time from several threads
};

}  // namespace pemblor::driver
