#pragma once
// Recorded or hand-made traffic that a card hands out instead of producing
// its own: a list of fetches, each a set of notification records and the
// bytes to place in the mapped areas before that fetch is answered.
//
//   # comment
//   fetch                         starts the next fetch
//   record CODE W1 W2 W3          a notification record of that fetch (at most eight)
//   area WORD OFFSET HEX...       bytes into the area of mapping word 1, 5, 9 or 13
//   area WORD OFFSET @PATH        a file's bytes (PATH relative to the replay file)
//
// Numbers are decimal or 0x hex; hex bytes are pairs of digits, blanks allowed.
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pemblor::sim {

struct ReplayArea {
    std::uint32_t word = 0;  // 1, 5, 9 or 13
    std::uint32_t offset = 0;
    std::vector<std::uint8_t> bytes;
};

struct ReplayFetch {
    std::vector<std::array<std::uint32_t, 4>> records;  // code, word 1, word 2, word 3
    std::vector<ReplayArea> areas;
};

struct ReplayScript {
    std::string file;  // as named in the settings
    std::vector<ReplayFetch> fetches;
};

// Reads a replay file. On failure returns false with "FILE:LINE: reason".
bool readReplay(const std::filesystem::path& file, ReplayScript& script, std::string& error);
// The same for text already read; files named by @PATH are found from folder.
bool readReplayText(std::string_view text, std::string_view fileName, const std::filesystem::path& folder,
                    ReplayScript& script, std::string& error);

}  // namespace pemblor::sim
