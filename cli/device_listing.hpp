#pragma once
// A listing of the cards that answer: one line per device number 0..31 that
// opens, with its version, hardware words, serial number and slot.
#include <string>
#include <vector>

#include "driver/driver_link.hpp"

namespace pemblor::cli {

// Opens each device in turn and closes it again; the link's context ends closed.
std::vector<std::string> listDevices(driver::DriverLink& link);

}  // namespace pemblor::cli
