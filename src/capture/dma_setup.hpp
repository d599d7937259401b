#pragma once
// "10 SetDMA": waits for the DSP program to run, gives the DSP the console's
// clock, has the driver set the three DMA addresses, then refreshes the
// version line and shows the card's serial number.
#include <functional>
#include <memory>
#include <string_view>

#include "ui/console_seam.hpp"

namespace pemblor::capture {

// Polls of the DSP state before the set-up gives up, 20 ms apart.
inline constexpr int kSetupPolls = 50;

std::unique_ptr<ui::Subsystem> attachDmaSetup(ui::ConsoleSeam& console);

// The set-up's requests on a card whose DSP runs: its clock set to t, then
// the three DMA addresses, each success reported through done with its
// line. False when one of the first three fails (the rest is not asked).
bool runDmaRequests(driver::DriverLink& link, const ui::LocalTime& t,
                    const std::function<void(std::string_view)>& done);

}  // namespace pemblor::capture
