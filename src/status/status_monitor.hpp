#pragma once
// The status monitor and the data watch. Once a second (timer 1, while a
// card is open) it rolls reception's per-second accumulators, writes the four
// channel lines, the driver counters (NormalC, ErrorC) and the reception
// line, reads the watched registers, and keeps the figures for the
// statistics window; every 40 ms while receiving (timer 2) it refreshes the
// reception line alone. "15 Start Watch" and "16 Stop Watch" switch the watch.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "common/receive_stats.hpp"
#include "driver/request_codes.hpp"
#include "status/status_history.hpp"
#include "ui/console_seam.hpp"

namespace pemblor::status {

// The watch reads at most this many lines of edit 1014, in this window
// ("bar1   8M"); each line is read as a typed number (common/number_entry.hpp:
// its first ten characters, as strtoul with base 0).
inline constexpr std::size_t kWatchLines = 16;
inline constexpr std::uint32_t kWatchWindow = 1;

// Category 1 ("1 All Counter Inf") as the monitor reads it: 32 words.
using driver::kCounterCategory;
inline constexpr std::size_t kCounterAnswerSize = 128;

class StatusMonitor : public ui::Subsystem, public ui::ReportSource {
public:
    // What each status tick rolled, for the statistics window.
    virtual const StatusHistory& history() const = 0;
};

// stats: what reception counts; the monitor rolls its per-second figures.
std::unique_ptr<StatusMonitor> attachStatusMonitor(ui::ConsoleSeam& console, common::ReceiveStats& stats);

}  // namespace pemblor::status
