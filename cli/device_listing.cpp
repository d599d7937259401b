#include "device_listing.hpp"

#include "common/printf_line.hpp"
#include "driver/card_identity.hpp"

namespace pemblor::cli {

std::vector<std::string> listDevices(driver::DriverLink& link) {
    std::vector<std::string> lines;
    for (int n = 0; n < driver::kDeviceCount; ++n) {
        const std::string path = driver::DriverLink::devicePath(n);
        if (!link.openDevice(path).valid()) continue;
        const driver::CardIdentity id = driver::CardIdentity::read(link);
        const std::string serial = id.printableSerial();
        lines.push_back(common::printfLine("Dev%-2d %-16s version %08X%s hardware %08X %08X serial %-16s slot %u", n,
                                           path.c_str(), id.version, id.versionAnswered ? "" : " (no answer)",
                                           id.hardware0, id.hardware1, serial.empty() ? "-" : serial.c_str(),
                                           id.slot));
        link.closeDevice();
    }
    return lines;
}

}  // namespace pemblor::cli
