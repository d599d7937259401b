#pragma once
// The carrier of driver requests: open, control, close, auto-reset events and
// the areas that the address-mapping record refers to. A real driver, the
// simulated cards and the tracing wrapper all implement it.
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

namespace pemblor::driver {

// An open device. All bits set means "no device", as the platform's invalid handle.
struct DeviceHandle {
    std::uint64_t value = ~std::uint64_t{0};

    static constexpr DeviceHandle invalid() { return {}; }
    constexpr bool valid() const { return value != ~std::uint64_t{0}; }
    friend constexpr bool operator==(DeviceHandle, DeviceHandle) = default;
};

// Event handles are 32-bit values so that request 0x222084 can carry one.
using EventHandle = std::uint32_t;
inline constexpr EventHandle kNoEvent = 0;          // never created
inline constexpr EventHandle kClosedEvent = 0xFFFFFFFFu;  // reception stopped

struct ControlResult {
    bool ok = false;
    std::uint32_t bytes = 0;  // bytes written to the output area (never more than its size)
};

enum class WaitResult { Signalled, Timeout, Failed };

class Transport {
public:
    virtual ~Transport() = default;

    // Opens the device at a path such as "\\.\KSVECWDM3"; invalid when there is none.
    virtual DeviceHandle open(std::string_view path) = 0;
    // One blocking request. The transport never writes beyond out and reports
    // at most out.size() bytes.
    virtual ControlResult control(DeviceHandle handle, std::uint32_t code,
                                  std::span<const std::uint8_t> in,
                                  std::span<std::uint8_t> out) = 0;
    virtual bool close(DeviceHandle handle) = 0;

    // Auto-reset events, initially not signalled; 0 when none can be created.
    virtual EventHandle createEvent() = 0;
    virtual bool signalEvent(EventHandle event) = 0;
    virtual WaitResult waitEvent(EventHandle event, int timeoutMs) = 0;
    virtual bool closeEvent(EventHandle event) = 0;

    // Resolves a word of the address-mapping record into the area it stands
    // for, with its size; empty when the word names no area of that device.
    virtual std::span<std::uint8_t> area(DeviceHandle handle, std::uint32_t word) = 0;
    // Keeps the memory of the device's areas alive while held, even past the
    // device's close: a receive thread left inside a write may still be
    // reading it. None where the memory outlives the process's use of it.
    virtual std::shared_ptr<const void> areaKeeper(DeviceHandle) { return nullptr; }

    // True when the cards behind this transport are simulated, so that tools
    // can say so: a simulated card must never pass for a real one.
    virtual bool simulated() const { return false; }
};

// A transport in front of another that passes every call on. Wrappers
// (tracing, traffic recording, test doubles) override only what they change,
// so that nothing the transport says of itself is lost on the way.
class ForwardingTransport : public Transport {
public:
    explicit ForwardingTransport(Transport& inner) : inner_(inner) {}

    DeviceHandle open(std::string_view path) override { return inner_.open(path); }
    ControlResult control(DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> in,
                          std::span<std::uint8_t> out) override {
        return inner_.control(handle, code, in, out);
    }
    bool close(DeviceHandle handle) override { return inner_.close(handle); }
    EventHandle createEvent() override { return inner_.createEvent(); }
    bool signalEvent(EventHandle event) override { return inner_.signalEvent(event); }
    WaitResult waitEvent(EventHandle event, int timeoutMs) override { return inner_.waitEvent(event, timeoutMs); }
    bool closeEvent(EventHandle event) override { return inner_.closeEvent(event); }
    std::span<std::uint8_t> area(DeviceHandle handle, std::uint32_t word) override { return inner_.area(handle, word); }
    std::shared_ptr<const void> areaKeeper(DeviceHandle handle) override { return inner_.areaKeeper(handle); }
    bool simulated() const override { return inner_.simulated(); }

protected:
    Transport& inner_;
};

}  // namespace pemblor::driver
