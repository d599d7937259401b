#pragma once
// What the simulated cards are: which device numbers carry a card, and each
// card's identity, answers and injected faults. Filled from --cards and
// --sim-config.
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace pemblor::sim {

struct CardSettings {
    std::uint32_t version = 0x01070605;
    std::uint32_t hardware[2] = {0x00020801, 0x20260101};
    std::string serial;            // up to 16 characters; empty: derived from the number
    std::uint32_t slot = 0;        // 0: derived from the number
    bool refuseMapping = false;    // request 0x22240c fails
    std::set<std::uint32_t> failingCodes;  // requests that fail
    // Fixed answers of request 0x2220c0 per category; the length is the byte count.
    std::map<std::uint32_t, std::vector<std::uint8_t>> info;
};

struct SimSettings {
    std::map<int, CardSettings> cards;  // device number -> card

    // Cards at the listed device numbers, with default settings.
    static SimSettings withCards(const std::vector<int>& numbers);
};

// "0,1,5" -> {0,1,5}. Numbers 0..31; an empty text is no card. nullopt and a
// reason on bad input.
std::optional<std::vector<int>> parseCardList(std::string_view text, std::string& error);

// Applies an INI-style settings file: one [card N] section per device number.
// On failure returns false and error holds "FILE:LINE: reason".
bool applySimConfig(const std::filesystem::path& file, SimSettings& settings, std::string& error);

}  // namespace pemblor::sim
