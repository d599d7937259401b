#pragma once
// Talking to the card below the other tools: "Debug" sends a typed sub-code
// of the driver's auxiliary command; "Send to DSP" and "Send to PCI" place a
// message of up to 512 bytes in one of two message areas of the DSP's external
// memory, write its length and ring the matching doorbell.
#include <cstdint>
#include <memory>

#include "app/console_seam.hpp"

namespace pemblor::dsp {

// One message area: where the message and its byte count go (bar 0, on the
// first external page), and the doorbell register and value (bar 1).
struct MessageArea {
    std::uint32_t countOffset;
    std::uint32_t messageOffset;
    std::uint32_t doorbellOffset;
    std::uint32_t doorbellValue;
};

std::unique_ptr<app::Subsystem> attachDebugCommands(app::ConsoleSeam& console);

}  // namespace pemblor::dsp
