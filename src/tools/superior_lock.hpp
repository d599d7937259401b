#pragma once
// The superior-operations lock: button "5 Enable Superior Op" asks for the key
// in "Identity Validation" (dialog 132) and then shows and enables the
// dangerous controls, shrinking the output list to make room for them; a
// second click locks again. It only guards the controls; the operations
// themselves do not look at it.
#include <memory>
#include <string_view>

#include "ui/console_seam.hpp"

namespace pemblor::tools {

inline constexpr std::string_view kSuperiorKey = "61740253";

// The controls it changes are those the subsystems added to the seam's list.
std::unique_ptr<ui::Subsystem> attachSuperiorLock(ui::ConsoleSeam& console);

}  // namespace pemblor::tools
