#pragma once
// The eight channel boxes beside the channel lines: the left column switches
// a channel's encoding (request 0x222480), the right column its pictures
// (request 0x22250c). A click sends one request at once and shows nothing; the
// boxes themselves are the only record of the states.
#include <memory>

#include "ui/console_seam.hpp"

namespace pemblor::capture {

class ChannelSwitches : public ui::Subsystem {
public:
    // The card switched every channel off (a reset of its DSP): the boxes
    // are cleared without a request.
    virtual void switchedOff() = 0;
};

std::unique_ptr<ChannelSwitches> attachChannelSwitches(ui::ConsoleSeam& console);

}  // namespace pemblor::capture
