#pragma once
// What the simulated cards are: which device numbers carry a card, and each
// card's identity, answers and injected faults. Filled from --cards and
// --sim-config.
#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "driver/card_identity.hpp"
#include "sim/dsp/dsp_memory.hpp"
#include "sim/settings/card_faults.hpp"
#include "sim/settings/replay.hpp"
#include "sim/dsp/sim_dsp.hpp"

namespace pemblor::sim {

inline constexpr int kMaxDeviceNumber = driver::kDeviceCount - 1;
inline constexpr std::size_t kMaxSerialLength = 16;
inline constexpr std::uint32_t kCategoryCount = 15;
inline constexpr std::size_t kMaxInfoAnswer = 256;

struct CardSettings {
    std::uint32_t version = 0x01070605;
    std::uint32_t hardware[2] = {0x00020801, 0x20260101};
    std::optional<std::string> serial;   // up to 16 characters; none: derived from the number
    std::optional<std::uint32_t> slot;   // none: derived from the number
    // Fixed answers of request 0x2220c0 per category; the length is the byte count.
    std::map<std::uint32_t, std::vector<std::uint8_t>> info;
    // How the DSP comes up, and how long its program takes to boot.
    DspMode dspMode = DspMode::Normal;
    std::uint32_t bootMs = 200;
    // Items the card's queue holds before the oldest is dropped.
    std::uint32_t queueItems = 2048;
    // Rates of what the card produces, per second; speed multiplies them all.
    std::uint32_t fps = 25;            // pictures of every encoded stream
    std::uint32_t mainKbps = 768;      // main streams (ids 0..3), 352 x 288
    std::uint32_t subKbps = 256;       // sub-streams (ids 4..7), 176 x 144
    std::uint32_t originalVideoFps = 5;
    std::uint32_t previewFps = 25;     // per channel
    std::uint32_t fullSizeFps = 10;    // all channels together
    std::uint32_t debugPerSecond = 4;
    std::uint32_t speed = 1;
    bool ntsc = false;                 // picture heights 480, 240, 120 instead of 576, 288, 144
    std::array<std::uint32_t, 4> previewCodes = {242, 242, 242, 242};  // per channel: 240, 241 or 242
    // Traffic handed out instead of the card's own, once reception is registered.
    std::shared_ptr<const ReplayScript> replay;
    bool replayLoop = false;  // the replay starts over after its last fetch
    // What is wrong with the card, if anything.
    CardFaults faults;
};

struct SimSettings {
    std::map<int, CardSettings> cards;  // device number -> card

    // Cards at the listed device numbers, with default settings.
    static SimSettings withCards(const std::vector<int>& numbers);
};

// The serial number and slot a card reports when its settings name none.
std::string defaultSerial(int deviceNumber);
std::uint32_t defaultSlot(int deviceNumber);

// "0,1,5" -> {0,1,5}; commas and/or blanks separate. Numbers 0..31, each once
// in the result; an empty text is no card. nullopt and a reason on bad input.
std::optional<std::vector<int>> parseCardList(std::string_view text, std::string& error);

// Applies an INI-style settings file: one [card N] section per device number.
// On failure returns false, leaves settings unchanged and error holds
// "FILE:LINE: reason".
bool applySimConfig(const std::filesystem::path& file, SimSettings& settings, std::string& error);
// The same for text already read; fileName only labels the errors.
bool applySimConfigText(std::string_view text, std::string_view fileName, SimSettings& settings,
                        std::string& error);

}  // namespace pemblor::sim
