#pragma once
// The console window (dialog 102): its state, its handlers and its life. Both
// the desktop and the headless console create one Console over a Host and a
// DriverLink and run it.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "app/console_state.hpp"
#include "driver/driver_link.hpp"
#include "ui/dialog.hpp"
#include "ui/host.hpp"

namespace pemblor::app {

class Console {
public:
    Console(ui::Host& host, driver::DriverLink& link, ConsoleOptions options = {});
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    ui::Dialog& dialog();
    ui::Host& host();
    driver::DriverLink& link();
    // The shared state: reception's counters, the status history, the flags.
    ConsoleState& state();

    // Runs the console window modally; returns its end result. Whatever way it
    // ends, anything still running is stopped before this returns.
    int run();
    // Stops whatever runs (reception and its files) without the close
    // sequence; safe to call more than once.
    void shutdown();
    // The About box (dialog 100), modal.
    void showAbout();

    // Output list helpers used by every handler.
    void appendLine(std::string_view text);
    void clearList();

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace pemblor::app
