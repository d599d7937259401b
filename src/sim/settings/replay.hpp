#pragma once
// Recorded or hand-made traffic that a card hands out instead of producing
// its own: a list of fetches, each a set of notification records and the
// bytes to place in the mapped areas before that fetch is answered.
//
//   # comment
//   rate R                        fetches a second, for the whole file (before the first fetch)
//   fetch                         starts the next fetch
//   at MS                         when this fetch is handed out: ms since reception started
//   record CODE W1 W2 W3          a notification record of that fetch (at most eight)
//   area WORD OFFSET HEX...       bytes into the area of mapping word 1, 5, 9 or 13
//   area WORD OFFSET @PATH        a file's bytes (PATH relative to the replay file)
//   area WORD OFFSET FROM+N @PATH N bytes of a file from its byte FROM, read when handed out
//
// Numbers are decimal or 0x hex; hex bytes are pairs of digits, blanks
// allowed; R is a number with decimals or a fraction (29.97, 30000/1001),
// MS a number of milliseconds with up to three decimals. A file with
// neither times nor a rate hands out its fetches as fast as they are taken.
#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pemblor::sim {

// A file whose bytes a replay reads when it hands them out, so that long
// traffic takes no memory. Open for as long as a replay refers to it.
class ReplayData {
public:
    ReplayData(int fd, std::uint64_t size, std::string name) : fd_(fd), size_(size), name_(std::move(name)) {}
    ~ReplayData();
    ReplayData(const ReplayData&) = delete;
    ReplayData& operator=(const ReplayData&) = delete;

    std::uint64_t size() const { return size_; }
    const std::string& name() const { return name_; }
    // Reads out.size() bytes from `from`; what the file no longer holds is zeros.
    void read(std::uint64_t from, std::span<std::uint8_t> out) const;

private:
    int fd_;
    std::uint64_t size_;
    std::string name_;
};

struct ReplayArea {
    ReplayArea() = default;
    ReplayArea(std::uint32_t w, std::uint32_t at, std::vector<std::uint8_t> b) : word(w), offset(at), bytes(std::move(b)) {}

    std::uint32_t word = 0;  // 1, 5, 9 or 13
    std::uint32_t offset = 0;
    std::vector<std::uint8_t> bytes;
    // Instead of bytes: `length` bytes of a data file from `from`.
    std::shared_ptr<const ReplayData> data;
    std::uint64_t from = 0;
    std::uint32_t length = 0;

    std::size_t size() const { return data ? length : bytes.size(); }
};

struct ReplayFetch {
    std::vector<std::array<std::uint32_t, 4>> records;  // code, word 1, word 2, word 3
    std::vector<ReplayArea> areas;
    std::uint64_t atMicros = 0;  // when it is handed out, in a paced replay
};

struct ReplayScript {
    std::string file;  // as named in the settings
    std::vector<ReplayFetch> fetches;
    // Paced: each fetch waits for its time. A loop starts again after loopMicros.
    bool paced = false;
    std::uint64_t loopMicros = 0;
};

// The size of the area of mapping word 1, 5, 9 or 13; 0 for another word.
std::size_t replayAreaSize(std::uint32_t word);

// What a replay holds, for `replay info`.
struct ReplaySummary {
    std::size_t fetches = 0;
    std::map<std::uint32_t, std::uint64_t> recordsByCode;
    std::uint64_t areaBytes = 0;
    std::uint64_t durationMicros = 0;  // paced: until the last fetch; a loop's period is longer
};
ReplaySummary summarize(const ReplayScript& script);

// Reads a replay file. On failure returns false with "FILE:LINE: reason".
bool readReplay(const std::filesystem::path& file, ReplayScript& script, std::string& error);
// The same for text already read; files named by @PATH are found from folder.
bool readReplayText(std::string_view text, std::string_view fileName, const std::filesystem::path& folder,
                    ReplayScript& script, std::string& error);

}  // namespace pemblor::sim
