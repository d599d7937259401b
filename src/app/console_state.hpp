#pragma once
// The console's shared state: timers, flags, counters, the texts that are
// exchanged with their controls, and what reception shares with the status
// monitor and the video windows. Values other threads read are atomics.
#include <atomic>
#include <cstdint>
#include <string>

#include "app/status_history.hpp"
#include "capture/published.hpp"
#include "capture/receive_stats.hpp"
#include "capture/stream_consumers.hpp"

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
};

struct ConsoleState {
    bool statusTimerOn = false;
    bool receiveTimerOn = false;
    std::atomic<std::uint32_t> secondsCounter{0};
    std::atomic<std::uint32_t> receiving{0};  // 1 while reception runs
    std::uint32_t watching = 0;               // 1 while the data watch runs
    std::atomic<int> openDeviceNumber{0};

    // Texts exchanged with combo 1005, combo 1023, edit 1032 and label 1066.
    std::string addressText = "0x00000000";
    std::string lengthText = "0x80";
    std::string debugNumberText = "0x00";
    std::string emailText = "Email:";
    // Set when a save of the output list to the log file failed (its message
    // was shown); pemblorctl report ends with a failure status then.
    bool logSaveFailed = false;

    // Filled by the receive thread, rolled and shown by the status monitor.
    capture::ReceiveStats stats;
    // What each status tick rolled, for the statistics window.
    StatusHistory history;
    // Published by the player and preview windows while they are open; the
    // receive thread feeds them.
    std::atomic<std::uint32_t> playSlot{0};
    capture::Published<capture::StreamFeed> player;
    capture::Published<capture::PreviewSink> preview;
};

}  // namespace pemblor::app
