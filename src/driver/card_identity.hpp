#pragma once
// A card's identity as the driver tells it: the driver version word, the two
// hardware words and the serial number of the hardware answer, and the bus
// slot. Read and formatted here only, for every place that shows it.
#include <cstdint>
#include <string>

#include "driver/driver_link.hpp"

namespace pemblor::driver {

// Device numbers the console can open: 0 to 31.
inline constexpr int kDeviceCount = 32;

struct CardIdentity {
    std::uint32_t version = 0;
    bool versionAnswered = false;  // the version request answered at all
    bool hardwareAnswered = false;
    std::uint32_t hardware0 = 0;
    std::uint32_t hardware1 = 0;
    // Bytes 8 to 23 of the hardware answer up to the first zero byte, as the card sent them.
    std::string serial;
    std::uint32_t slot = 0;  // word 3 of the slot answer
    bool slotAnswered = false;

    enum class Requests { kWithSlot, kWithoutSlot };
    // The version, hardware and (unless told otherwise) slot requests, in
    // this order; a failed request reads as zeros.
    static CardIdentity read(DriverLink& link, Requests requests = Requests::kWithSlot);

    bool versionAccepted() const { return version >= kMinimumDriverVersion; }
    // "W<version> H<hardware 0> D<hardware 1>", eight hex digits each: the VerInf line.
    std::string versionLine() const;
    // The serial with every byte outside printable ASCII shown as '?', for a terminal.
    std::string printableSerial() const;
};

}  // namespace pemblor::driver
