#include "device_listing.hpp"

#include "common/printf_line.hpp"

namespace pemblor::cli {

std::vector<ListedDevice> listDevices(driver::DriverLink& link) {
    std::vector<ListedDevice> devices;
    for (int n = 0; n < driver::kDeviceCount; ++n) {
        const std::string path = driver::DriverLink::devicePath(n);
        if (!link.openDevice(path).valid()) continue;
        devices.push_back({n, path, driver::CardIdentity::read(link)});
        link.closeDevice();
    }
    return devices;
}

std::string deviceLine(const ListedDevice& device, bool simulated) {
    const driver::CardIdentity& id = device.identity;
    const std::string serial = id.printableSerial();
    return common::printfLine("Dev%-2d %-16s version %08X%s hardware %08X %08X serial %-16s slot %u%s", device.number,
                              device.path.c_str(), id.version, id.versionAnswered ? "" : " (no answer)", id.hardware0,
                              id.hardware1, serial.empty() ? "-" : serial.c_str(), id.slot,
                              simulated ? " simulated" : "");
}

}  // namespace pemblor::cli
