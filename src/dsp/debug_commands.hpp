#pragma once
// Talking to the card below the other tools: "Debug" sends a typed sub-code
// of the driver's auxiliary command; "Send to DSP" and "Send to PCI" place a
// message of up to 512 bytes in one of two message areas of the DSP's external
// memory, write its length and ring the matching doorbell.
#include <memory>

#include "ui/console_seam.hpp"

namespace pemblor::dsp {

std::unique_ptr<ui::Subsystem> attachDebugCommands(ui::ConsoleSeam& console);

}  // namespace pemblor::dsp
