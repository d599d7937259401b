#pragma once
// The memory tools of the console: "Read" and "Write" of the card's address
// spaces, "Load" and "Save" of data-to-write files, and "6 MemTest".
#include <memory>

#include "ui/console_seam.hpp"

namespace pemblor::memory {

std::unique_ptr<ui::Subsystem> attachMemoryTools(ui::ConsoleSeam& console);

}  // namespace pemblor::memory
