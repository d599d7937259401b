#pragma once
// The console's shared state: timers, flags, counters and the texts that are
// exchanged with their controls. Values the receive thread reads are atomics.
#include <atomic>
#include <cstdint>
#include <string>

namespace pemblor::app {

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
};

}  // namespace pemblor::app
