#pragma once
// A listing of the cards that answer: one entry per device number 0..31 that
// opens, with its version, hardware words, serial number and slot.
#include <string>
#include <vector>

#include "driver/card_identity.hpp"
#include "driver/driver_link.hpp"

namespace pemblor::cli {

struct ListedDevice {
    int number = 0;
    std::string path;
    driver::CardIdentity identity;
};

// Opens each device in turn and closes it again; the link's context ends closed.
std::vector<ListedDevice> listDevices(driver::DriverLink& link);

// "Dev3  \\.\KSVECWDM3    version 01070605 hardware ... serial ... slot 6",
// with " simulated" at the end for a simulated card.
std::string deviceLine(const ListedDevice& device, bool simulated);

}  // namespace pemblor::cli
