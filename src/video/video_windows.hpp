#pragma once
// The console's "11 Play" and "12 Preview" buttons: each runs its window
// modally and publishes it to the receive thread while it is open.
#include <memory>

#include "app/console_seam.hpp"

namespace pemblor::video {

std::unique_ptr<app::Subsystem> attachVideoWindows(app::ConsoleSeam& console);

}  // namespace pemblor::video
