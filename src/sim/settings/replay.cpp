#include "sim/settings/replay.hpp"

#include <algorithm>
#include <cerrno>

#include "common/input_file.hpp"

#include "sim/card/sim_areas.hpp"
#include "sim/settings/sim_text.hpp"

namespace pemblor::sim {

namespace {

// Bounds on what a replay may hold in memory: far above hand-made traffic
// and a few seconds of recorded traffic, far below what would hurt.
constexpr std::uintmax_t kMaxReplayText = 64u << 20;
constexpr std::size_t kMaxReplayBytes = 512u << 20;
constexpr std::size_t kMaxRecords = 8;

std::size_t areaSizeOfWord(std::uint32_t word) {
    switch (word) {
        case 1: return kEncodedStreamAreaSize;
        case 5: return kOriginalVideoAreaSize;
        case 9: return kPreviewSlotsAreaSize;
        case 13: return kFullPreviewAreaSize;
        default: return 0;
    }
}

// A file's bytes for an area: its size is taken first, so that a file too
// big for the room left in the area is refused before any of it is read.
bool readAreaFile(const std::filesystem::path& file, std::size_t room, std::vector<std::uint8_t>& bytes,
                  std::string& reason) {
    common::InputFile in;
    if (!in.open(file, reason)) {
        reason = "'" + file.string() + "': " + reason;
        return false;
    }
    if (in.size() > room) {
        reason = "'" + file.string() + "' holds " + std::to_string(in.size()) + " bytes, more than the " +
                 std::to_string(room) + " left in the area";
        return false;
    }
    bytes.resize(static_cast<std::size_t>(in.size()));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const long long n = in.read(bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            reason = "cannot read '" + file.string() + "': " + common::systemReason(n < 0 ? errno : EIO);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The next blank-separated item of a line; empty at its end.
std::string_view nextItem(std::string_view& line) {
    line = trimBlanks(line);
    const std::size_t end = line.find_first_of(" \t");
    const std::string_view item = line.substr(0, end);
    line = end == std::string_view::npos ? std::string_view{} : line.substr(end);
    return item;
}

class ReplayReader {
public:
    ReplayReader(const std::filesystem::path& folder, ReplayScript& script) : folder_(folder), script_(script) {}

    bool line(std::string_view text, std::string& reason) {
        const std::string_view keyword = nextItem(text);
        if (keyword.empty()) return true;
        if (keyword == "fetch") return fetch(text, reason);
        if (keyword == "record") return record(text, reason);
        if (keyword == "area") return area(text, reason);
        reason = "unknown item '" + std::string(keyword) + "' (fetch, record or area)";
        return false;
    }

private:
    bool fetch(std::string_view rest, std::string& reason) {
        if (!trimBlanks(rest).empty()) {
            reason = "fetch takes nothing after it";
            return false;
        }
        script_.fetches.emplace_back();
        return true;
    }

    bool record(std::string_view rest, std::string& reason) {
        if (script_.fetches.empty()) {
            reason = "record before the first fetch";
            return false;
        }
        std::array<std::uint32_t, 4> words{};
        for (std::uint32_t& w : words) {
            const std::string_view item = nextItem(rest);
            if (item.empty()) {
                reason = "record takes a code and three words: record CODE W1 W2 W3";
                return false;
            }
            if (!readNumber(item, w, reason)) return false;
        }
        if (!trimBlanks(rest).empty()) {
            reason = "record takes a code and three words: record CODE W1 W2 W3";
            return false;
        }
        auto& records = script_.fetches.back().records;
        if (records.size() == kMaxRecords) {
            reason = "more than eight records in one fetch";
            return false;
        }
        records.push_back(words);
        return true;
    }

    bool area(std::string_view rest, std::string& reason) {
        if (script_.fetches.empty()) {
            reason = "area before the first fetch";
            return false;
        }
        ReplayArea a;
        const std::string_view word = nextItem(rest);
        const std::string_view offset = nextItem(rest);
        if (offset.empty()) {
            reason = "area takes a word, an offset and bytes: area WORD OFFSET HEX... or @PATH";
            return false;
        }
        if (!readNumber(word, a.word, reason) || !readNumber(offset, a.offset, reason)) return false;
        const std::size_t size = areaSizeOfWord(a.word);
        if (size == 0) {
            reason = "area word " + std::string(word) + " names no area (1, 5, 9 or 13)";
            return false;
        }
        if (a.offset > size) {
            reason = "offset " + std::to_string(a.offset) + " lies past the end of the area of word " +
                     std::to_string(a.word) + " (" + std::to_string(size) + " bytes)";
            return false;
        }
        if (!bytesOf(trimBlanks(rest), size - a.offset, a.bytes, reason)) return false;
        if (a.offset > size || a.bytes.size() > size - a.offset) {
            reason = std::to_string(a.bytes.size()) + " bytes at offset " + std::to_string(a.offset) +
                     " run past the end of the area of word " + std::to_string(a.word) + " (" +
                     std::to_string(size) + " bytes)";
            return false;
        }
        total_ += a.bytes.size();
        if (total_ > kMaxReplayBytes) {
            reason = "the replay's area bytes exceed " + std::to_string(kMaxReplayBytes) + " bytes";
            return false;
        }
        script_.fetches.back().areas.push_back(std::move(a));
        return true;
    }

    bool bytesOf(std::string_view data, std::size_t room, std::vector<std::uint8_t>& bytes, std::string& reason) {
        if (data.empty()) {
            reason = "area without bytes";
            return false;
        }
        if (data.front() != '@') return parseHexBytes(data, bytes, reason);
        const std::string_view name = trimBlanks(data.substr(1));
        if (name.empty()) {
            reason = "'@' without a file name";
            return false;
        }
        return readAreaFile(folder_ / std::filesystem::path(name), std::min(room, kMaxReplayBytes - total_), bytes,
                            reason);
    }

    std::filesystem::path folder_;
    ReplayScript& script_;
    std::size_t total_ = 0;
};

// Drops a comment: '#' at the start of a line or after a blank.
std::string_view withoutComment(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i)
        if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) return line.substr(0, i);
    return line;
}

}  // namespace

bool readReplayText(std::string_view text, std::string_view fileName, const std::filesystem::path& folder,
                    ReplayScript& script, std::string& error) {
    ReplayScript result;
    result.file = std::string(fileName);
    ReplayReader reader(folder, result);
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++lineNumber;
        std::string reason;
        const bool tooLong = line.size() > common::kMaxTextLine;
        if (tooLong) reason = "the line is longer than " + std::to_string(common::kMaxTextLine) + " bytes";
        if (tooLong || !reader.line(withoutComment(line), reason)) {
            error = std::string(fileName) + ":" + std::to_string(lineNumber) + ": " + common::shownText(reason);
            return false;
        }
    }
    script = std::move(result);
    return true;
}

bool readReplay(const std::filesystem::path& file, ReplayScript& script, std::string& error) {
    std::string text, reason;
    if (!common::readRegularFile(file, kMaxReplayText, text, reason)) {
        error = common::shownText(file.string() + ": " + reason);
        return false;
    }
    return readReplayText(text, file.string(), file.parent_path(), script, error);
}

}  // namespace pemblor::sim
