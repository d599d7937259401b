#pragma once
// The DSP's boot buttons: "7 ResetDSP" resets it (and has the channel boxes
// cleared, as the reset switches every channel off), "8 LoadP" sends a
// program image block by block, "9 InterDSP" starts the loaded program and
// waits for the DSP to report it running.
#include <functional>
#include <memory>

#include "ui/console_seam.hpp"

namespace pemblor::dsp {

// Polls of the DSP state after the interrupt, 20 ms apart.
inline constexpr int kStartPolls = 200;

// channelsSwitchedOff runs after a reset the card took.
std::unique_ptr<ui::Subsystem> attachBootControl(ui::ConsoleSeam& console, std::function<void()> channelsSwitchedOff);

}  // namespace pemblor::dsp
