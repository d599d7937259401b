#pragma once
// The diagnostic report and the log file. "4 Show all inf and save file"
// writes the report of the open card, or with "AllDev" of every card that
// opens, into the output list and appends the list to the log file; "14 Save"
// appends the list at any time; a click on "Email:" shows the support address.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/console_seam.hpp"

namespace pemblor::tools {

// The address the report asks the operator to send the log file to, unless
// --support-email names another.
inline constexpr std::string_view kDefaultSupportEmail = "support@pemblor.example";
// The log file, under the data root.
inline constexpr std::string_view kLogFileName = "C:\\Pemblor.LOG";

struct ReportOptions {
    std::string supportEmail;  // empty: kDefaultSupportEmail
    // The report appends the list to the log file; pemblorctl report clears
    // it unless --log is given, and prints the report instead.
    bool savesLog = true;
};

class Report : public ui::Subsystem {
public:
    // A save of the output list to the log file failed (its message was
    // shown); pemblorctl report ends with a failure status then.
    virtual bool logSaveFailed() const = 0;
};

std::string supportAddress(const ReportOptions& options);

// Each card's section holds, after its first line, the lines of sources in order.
std::unique_ptr<Report> attachReport(ui::ConsoleSeam& console, ReportOptions options,
                                     std::vector<ui::ReportSource*> sources);

}  // namespace pemblor::tools
