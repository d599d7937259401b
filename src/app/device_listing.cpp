#include "app/device_listing.hpp"

#include <array>

#include "app/printf_line.hpp"
#include "app/safe_format.hpp"
#include "driver/little_endian.hpp"

namespace pemblor::app {

std::vector<std::string> listDevices(driver::DriverLink& link) {
    std::vector<std::string> lines;
    for (int n = 0; n < 32; ++n) {
        const std::string path = driver::DriverLink::devicePath(n);
        if (!link.openDevice(path).valid()) continue;
        std::array<std::uint8_t, 8> version{};
        std::array<std::uint8_t, 32> hardware{};
        std::array<std::uint8_t, 16> slot{};
        const bool answered = link.driverVersion(version) != 0;
        link.hardwareInfo(hardware);
        link.slotInfo(slot);
        // The serial is at most 16 characters, NUL-padded.
        std::string serial(boundedCString(std::span<const std::uint8_t>(hardware).subspan(8, 16), 0));
        for (char& c : serial) {
            if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '?';
        }
        lines.push_back(printfLine("Dev%-2d %-16s version %08X%s hardware %08X %08X serial %-16s slot %u", n,
                                   path.c_str(), driver::loadU32(version, 0), answered ? "" : " (no answer)",
                                   driver::loadU32(hardware, 0), driver::loadU32(hardware, 4),
                                   serial.empty() ? "-" : serial.c_str(), driver::loadU32(slot, 12)));
        link.closeDevice();
    }
    return lines;
}

}  // namespace pemblor::app
