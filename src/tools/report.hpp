#pragma once
// The diagnostic report and the log file. "4 Show all inf and save file"
// writes the report of the open card, or with "AllDev" of every card that
// opens, into the output list and appends the list to the log file; "14 Save"
// appends the list at any time; a click on "Email:" shows the support address.
#include <memory>
#include <string>
#include <string_view>

#include "app/console_seam.hpp"

namespace pemblor::tools {

// The address the report asks the operator to send the log file to, unless
// --support-email names another.
inline constexpr std::string_view kDefaultSupportEmail = "support@pemblor.example";
// The log file, under the data root.
inline constexpr std::string_view kLogFileName = "C:\\Pemblor.LOG";

std::string supportAddress(const app::ConsoleOptions& options);

std::unique_ptr<app::Subsystem> attachReport(app::ConsoleSeam& console);

}  // namespace pemblor::tools
