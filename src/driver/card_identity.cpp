#include "driver/card_identity.hpp"

#include <array>

#include "common/printf_line.hpp"
#include "driver/little_endian.hpp"

namespace pemblor::driver {

namespace {
constexpr std::size_t kSerialOffset = 8;
constexpr std::size_t kSerialLength = 16;
constexpr std::size_t kSlotWordOffset = 12;
}  // namespace

CardIdentity CardIdentity::read(DriverLink& link, Requests requests) {
    // Zero-filled first, so a failed request reads as zeros.
    std::array<std::uint8_t, 8> version{};
    std::array<std::uint8_t, 32> hardware{};
    CardIdentity id;
    id.versionAnswered = link.driverVersion(version) != 0;
    id.hardwareAnswered = link.hardwareInfo(hardware) != 0;
    id.version = loadU32(version, 0);
    id.hardware0 = loadU32(hardware, 0);
    id.hardware1 = loadU32(hardware, 4);
    for (std::size_t i = kSerialOffset; i < kSerialOffset + kSerialLength && hardware[i] != 0; ++i) {
        id.serial += static_cast<char>(hardware[i]);
    }
    if (requests == Requests::kWithSlot) {
        std::array<std::uint8_t, 16> slot{};
        id.slotAnswered = link.slotInfo(slot) != 0;
        id.slot = loadU32(slot, kSlotWordOffset);
    }
    return id;
}

std::string CardIdentity::versionLine() const {
    return common::printfLine("W%08X H%08X D%08X", version, hardware0, hardware1);
}

std::string CardIdentity::printableSerial() const {
    std::string s = serial;
    for (char& c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u > 0x7E) c = '?';
    }
    return s;
}

}  // namespace pemblor::driver
