#pragma once
// A Transport that logs every request as it completes (code and name, input
// record in hex, success, byte count, the first output bytes, duration) and
// passes everything on to the transport it wraps. Used for --trace; when
// tracing is off it is simply not in the chain.
//
// One line per call, written whole under a lock:
//   trace: 0x222014 read words h=1 in[12] 00000000 00100000 04000000 | ok 16 bytes | out 01020304 .. | 12 us
//   trace: open \\.\KSVECWDM0 | h=1 | 5 us        trace: close h=1 | ok | 2 us
// Input shows its first 32 bytes, output the first 16 of the reported count,
// in hex grouped by u32 word; " .." marks more, "-" none; h=-1 is no device.
#include <chrono>
#include <mutex>
#include <ostream>
#include <string>

#include "driver/transport.hpp"

namespace pemblor::driver {

class TracingTransport : public ForwardingTransport {
public:
    TracingTransport(Transport& inner, std::ostream& log) : ForwardingTransport(inner), log_(log) {}

    DeviceHandle open(std::string_view path) override;
    ControlResult control(DeviceHandle handle, std::uint32_t code, std::span<const std::uint8_t> in,
                          std::span<std::uint8_t> out) override;
    bool close(DeviceHandle handle) override;

private:
    void write(const std::string& line);

    std::ostream& log_;
    std::mutex mutex_;  // one line at a time from several threads
};

}  // namespace pemblor::driver
