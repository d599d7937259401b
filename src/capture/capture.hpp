#pragma once
// Stream capture and recording, attached to the console as one subsystem:
// reception and its files, the DMA and clock set-up, the channel switches.
#include <memory>

#include "capture/reception_hub.hpp"
#include "ui/console_seam.hpp"

namespace pemblor::capture {

class Capture : public ui::Subsystem {
public:
    // What reception counts and feeds: read by the status monitor, published
    // into by the video windows.
    virtual ReceptionHub& hub() = 0;
    // The card switched every channel off (a reset of its DSP).
    virtual void channelsSwitchedOff() = 0;
};

std::unique_ptr<Capture> attachCapture(ui::ConsoleSeam& console);

}  // namespace pemblor::capture
