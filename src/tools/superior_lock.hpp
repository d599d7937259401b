#pragma once
// The superior-operations lock: button "5 Enable Superior Op" asks for the key
// in "Identity Validation" (dialog 132) and then shows and enables the
// dangerous controls, shrinking the output list to make room for them; a
// second click locks again. It only guards the controls; the operations
// themselves do not look at it.
#include <memory>
#include <string_view>

#include "app/console_seam.hpp"

namespace pemblor::tools {

inline constexpr std::string_view kSuperiorKey = "61740253";

std::unique_ptr<app::Subsystem> attachSuperiorLock(app::ConsoleSeam& console);

}  // namespace pemblor::tools
