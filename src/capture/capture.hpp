#pragma once
// Stream capture and recording, attached to the console as one subsystem:
// reception and its files, the DMA and clock set-up, the channel switches.
#include <memory>

#include "app/console_seam.hpp"

namespace pemblor::capture {

std::unique_ptr<app::Subsystem> attachCapture(app::ConsoleSeam& console);

}  // namespace pemblor::capture
