#pragma once
// The eight channel boxes beside the channel lines: the left column switches
// a channel's encoding (request 0x222480), the right column its pictures
// (request 0x22250c). A click sends one request at once and shows nothing; the
// boxes themselves are the only record of the states.
#include <memory>

#include "app/console_seam.hpp"

namespace pemblor::capture {

std::unique_ptr<app::Subsystem> attachChannelSwitches(app::ConsoleSeam& console);

}  // namespace pemblor::capture
