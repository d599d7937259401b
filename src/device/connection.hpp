#pragma once
// Opening and closing the card ("1 OpenDev", "2 CloseDev"), the identity and
// VerInf line, the status timer's life, and the device-information dump
// ("3 DevInf"). The report opens and closes cards through the same steps.
#include <functional>
#include <memory>

#include "driver/card_identity.hpp"
#include "ui/console_seam.hpp"

namespace pemblor::device {

class Connection : public ui::Subsystem, public ui::ReportSource {
public:
    virtual int openDeviceNumber() const = 0;
    // After a successful open of device n: identity, version check, the
    // open line, the address mapping, the status timer.
    virtual void openFollowUp(int deviceNumber) = 0;
    // The closing steps first (stopping at one that refuses), then the timer,
    // the mapping and the handle.
    virtual void closeSequence() = 0;
    virtual void showIdentity(const driver::CardIdentity& identity) = 0;
};

// closingSteps runs the steps the subsystems added; false keeps the device open.
std::unique_ptr<Connection> attachConnection(ui::ConsoleSeam& console, std::function<bool()> closingSteps);

}  // namespace pemblor::device
