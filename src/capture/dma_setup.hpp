#pragma once
// "10 SetDMA": waits for the DSP program to run, gives the DSP the console's
// clock, has the driver set the three DMA addresses, then refreshes the
// version line and shows the card's serial number.
#include <memory>

#include "ui/console_seam.hpp"

namespace pemblor::capture {

// Polls of the DSP state before the set-up gives up, 20 ms apart.
inline constexpr int kSetupPolls = 50;

std::unique_ptr<ui::Subsystem> attachDmaSetup(ui::ConsoleSeam& console);

}  // namespace pemblor::capture
