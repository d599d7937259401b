#pragma once
// The console window (dialog 102) put together: its subsystems attached to
// one seam, its life. Both the desktop and the headless console create one
// Console over a Host and a DriverLink and run it.
#include <memory>
#include <string>
#include <string_view>

#include "common/receive_stats.hpp"
#include "driver/driver_link.hpp"
#include "status/status_history.hpp"
#include "ui/dialog.hpp"
#include "ui/host.hpp"

namespace pemblor::driver {
class CardHealth;
}
namespace pemblor::video {
class Renderer;
class DecoderFactory;
}  // namespace pemblor::video

namespace pemblor::app {

struct ConsoleOptions {
    std::string supportEmail;  // shown by the e-mail label and after the all-devices report
    // What draws the player's and the preview's pictures, given by the
    // platform next to its host (the desktop's surfaces, the script host's
    // store). None: the video windows' Start reports that rendering failed.
    video::Renderer* renderer = nullptr;
    // What decodes the played stream; none: the FFmpeg decoder.
    video::DecoderFactory* decoders = nullptr;
    // The report appends the list to the log file; pemblorctl report clears
    // it unless --log is given, and prints the report instead.
    bool reportSavesLog = true;
    // When given, the open card is polled once a second for the metrics
    // (identity, DSP state, dropped records); it must outlive the console.
    driver::CardHealth* cardHealth = nullptr;
};

class Console {
public:
    Console(ui::Host& host, driver::DriverLink& link, ConsoleOptions options = {});
    ~Console();
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    ui::Dialog& dialog();
    ui::Host& host();
    driver::DriverLink& link();
    // The device number of the open card (0 while none is open).
    int openDeviceNumber() const;

    // Runs the console window modally; returns its end result. Whatever way it
    // ends, anything still running is stopped before this returns.
    int run();
    // Stops whatever runs (reception and its files) without the close
    // sequence; safe to call more than once.
    void shutdown();
    // The About box (dialog 100), modal.
    void showAbout();

    // Output list helpers.
    void appendLine(std::string_view text);
    void clearList();

    // What reception counts (the receive thread adds, the status monitor rolls).
    common::ReceiveStats& receptionStats();
    // What the status ticks rolled, for the statistics window.
    const status::StatusHistory& statusHistory() const;
    // A save of the output list to the log file failed (its message was shown).
    bool logSaveFailed() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace pemblor::app
