#pragma once
// The DSP's boot buttons: "7 ResetDSP" resets it (and clears the channel
// boxes, as the reset switches every channel off), "8 LoadP" sends a program
// image block by block, "9 InterDSP" starts the loaded program and waits for
// the DSP to report it running.
#include <memory>

#include "app/console_seam.hpp"

namespace pemblor::dsp {

// Polls of the DSP state after the interrupt, 20 ms apart.
inline constexpr int kStartPolls = 200;
inline constexpr int kPollIntervalMs = 20;

std::unique_ptr<app::Subsystem> attachBootControl(app::ConsoleSeam& console);

}  // namespace pemblor::dsp
