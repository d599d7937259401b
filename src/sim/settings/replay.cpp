#include "sim/settings/replay.hpp"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <map>

#include "common/input_file.hpp"

#include "sim/card/sim_areas.hpp"
#include "sim/settings/sim_text.hpp"

namespace pemblor::sim {

namespace {

// Bounds on what a replay may hold in memory: far above hand-made traffic
// and a few seconds of recorded traffic, far below what would hurt.
constexpr std::uintmax_t kMaxReplayText = 256u << 20;
constexpr std::size_t kMaxReplayBytes = 512u << 20;
constexpr std::size_t kMaxRecords = 8;
// Times up to about 12 days; rates up to 100000 fetches a second.
constexpr std::uint64_t kMaxAtMicros = 1ull << 40;
constexpr double kMaxRate = 100000;

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

// "40", "33.367": milliseconds with at most three decimals, as microseconds.
bool readMillis(std::string_view text, std::uint64_t& micros, std::string& reason) {
    const std::size_t dot = text.find('.');
    const std::string_view whole = text.substr(0, dot);
    const std::string_view part = dot == std::string_view::npos ? std::string_view{} : text.substr(dot + 1);
    const auto digits = [](std::string_view t) {
        return !t.empty() && t.size() <= 12 && t.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (!digits(whole) || (dot != std::string_view::npos && (!digits(part) || part.size() > 3))) {
        reason = "'" + std::string(text) + "' is not a time in milliseconds (up to three decimals)";
        return false;
    }
    micros = std::stoull(std::string(whole)) * 1000;
    std::string fraction(part);
    fraction.resize(3, '0');
    micros += std::stoull(fraction);
    if (micros > kMaxAtMicros) {
        reason = "time " + std::string(text) + " ms is too far off";
        return false;
    }
    return true;
}

// "25", "29.97" or "30000/1001" fetches a second.
bool readRate(std::string_view text, double& rate, std::string& reason) {
    const std::string t(text);
    double a = 0, b = 1;
    char slash = 0, rest = 0;
    const bool fraction = std::sscanf(t.c_str(), "%lf%c%lf%c", &a, &slash, &b, &rest) == 3 && slash == '/';
    const bool plain = !fraction && std::sscanf(t.c_str(), "%lf%c", &a, &rest) == 1;
    rate = (fraction || plain) && b > 0 ? a / b : 0;
    if (t.find_first_not_of("0123456789./") != std::string::npos || !(rate > 0 && rate <= kMaxRate)) {
        reason = "'" + t + "' is not a rate from 0 to 100000 fetches a second (25, 29.97 or 30000/1001)";
        return false;
    }
    return true;
}

// A data file named by @PATH, opened once however many areas read from it.
std::shared_ptr<const ReplayData> openData(const std::filesystem::path& path, std::string& reason) {
    common::InputFile in;
    if (!in.open(path, reason)) {
        reason = "'" + path.string() + "': " + reason;
        return nullptr;
    }
    const std::uint64_t size = in.size();
    return std::make_shared<const ReplayData>(in.release(), size, path.string());
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
        if (keyword == "at") return at(text, reason);
        if (keyword == "rate") return rate(text, reason);
        reason = "unknown item '" + std::string(keyword) + "' (rate, fetch, at, record or area)";
        return false;
    }

    // Times for every fetch, once all are read.
    void finish() {
        auto& fetches = script_.fetches;
        if (rate_ > 0) {
            for (std::size_t i = 0; i < fetches.size(); ++i)
                fetches[i].atMicros = static_cast<std::uint64_t>(std::llround(static_cast<double>(i) * 1e6 / rate_));
            script_.paced = true;
            script_.loopMicros = static_cast<std::uint64_t>(std::llround(static_cast<double>(fetches.size()) * 1e6 / rate_));
        } else if (timed_ && !fetches.empty()) {
            // A loop starts again one mean fetch interval after the last.
            const std::uint64_t first = fetches.front().atMicros, last = fetches.back().atMicros;
            script_.paced = true;
            script_.loopMicros = last + (fetches.size() > 1 ? (last - first) / (fetches.size() - 1) : 0);
        }
    }

private:
    bool at(std::string_view rest, std::string& reason) {
        const std::string_view value = nextItem(rest);
        if (script_.fetches.empty()) return (reason = "at before the first fetch"), false;
        if (value.empty() || !trimBlanks(rest).empty()) return (reason = "at takes one time: at MS"), false;
        if (rate_ > 0) return (reason = "at in a file with a rate: one or the other"), false;
        if (fetchTimed_) return (reason = "a second at for one fetch"), false;
        std::uint64_t micros = 0;
        if (!readMillis(value, micros, reason)) return false;
        if (micros < lastAt_) return (reason = "at goes back in time (" + std::string(value) + " ms)"), false;
        script_.fetches.back().atMicros = lastAt_ = micros;
        timed_ = fetchTimed_ = true;
        return true;
    }

    bool rate(std::string_view rest, std::string& reason) {
        const std::string_view value = nextItem(rest);
        if (!script_.fetches.empty()) return (reason = "rate after the first fetch"), false;
        if (rate_ > 0) return (reason = "a second rate"), false;
        if (value.empty() || !trimBlanks(rest).empty()) return (reason = "rate takes one number: rate R"), false;
        return readRate(value, rate_, reason);
    }

    bool fetch(std::string_view rest, std::string& reason) {
        if (!trimBlanks(rest).empty()) {
            reason = "fetch takes nothing after it";
            return false;
        }
        script_.fetches.emplace_back();
        script_.fetches.back().atMicros = lastAt_;  // a fetch without its own time follows the one before
        fetchTimed_ = false;
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
        const std::size_t size = replayAreaSize(a.word);
        if (size == 0) {
            reason = "area word " + std::string(word) + " names no area (1, 5, 9 or 13)";
            return false;
        }
        if (a.offset > size) {
            reason = "offset " + std::to_string(a.offset) + " lies past the end of the area of word " +
                     std::to_string(a.word) + " (" + std::to_string(size) + " bytes)";
            return false;
        }
        if (!bytesOf(trimBlanks(rest), size - a.offset, a, reason)) return false;
        if (a.offset > size || a.size() > size - a.offset) {
            reason = std::to_string(a.size()) + " bytes at offset " + std::to_string(a.offset) +
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

    bool bytesOf(std::string_view data, std::size_t room, ReplayArea& a, std::string& reason) {
        std::vector<std::uint8_t>& bytes = a.bytes;
        if (data.empty()) {
            reason = "area without bytes";
            return false;
        }
        const std::size_t plus = data.find('+');
        if (data.front() != '@' && plus != std::string_view::npos && plus < data.find('@')) return slice(data, a, reason);
        if (data.front() != '@') return parseHexBytes(data, bytes, reason);
        const std::string_view name = trimBlanks(data.substr(1));
        if (name.empty()) {
            reason = "'@' without a file name";
            return false;
        }
        return readAreaFile(folder_ / std::filesystem::path(name), std::min(room, kMaxReplayBytes - total_), bytes,
                            reason);
    }

    // FROM+N @PATH: read when handed out, checked against the file now.
    bool slice(std::string_view data, ReplayArea& a, std::string& reason) {
        const std::string_view range = nextItem(data);
        const std::string_view name = trimBlanks(data);
        const std::size_t plus = range.find('+');
        std::uint32_t from = 0, length = 0;
        if (plus == std::string_view::npos || name.size() < 2 || name.front() != '@')
            return (reason = "area takes FROM+N @PATH: the bytes of a file"), false;
        if (!readNumber(range.substr(0, plus), from, reason) || !readNumber(range.substr(plus + 1), length, reason))
            return false;
        const std::filesystem::path path = folder_ / std::filesystem::path(trimBlanks(name.substr(1)));
        auto& file = data_[path.string()];
        if (!file && !(file = openData(path, reason))) return false;
        if (std::uint64_t{from} + length > file->size()) {
            reason = "bytes " + std::to_string(from) + "+" + std::to_string(length) + " lie beyond the end of '" +
                     path.string() + "' (" + std::to_string(file->size()) + " bytes)";
            return false;
        }
        a.data = file;
        a.from = from;
        a.length = length;
        return true;
    }

    std::filesystem::path folder_;
    ReplayScript& script_;
    std::size_t total_ = 0;
    std::map<std::string, std::shared_ptr<const ReplayData>> data_;
    double rate_ = 0;
    bool timed_ = false;       // some fetch has its own time
    bool fetchTimed_ = false;  // the last fetch has
    std::uint64_t lastAt_ = 0;
};

// Drops a comment: '#' at the start of a line or after a blank.
std::string_view withoutComment(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i)
        if (line[i] == '#' && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t')) return line.substr(0, i);
    return line;
}

}  // namespace

std::size_t replayAreaSize(std::uint32_t word) {
    switch (word) {
        case 1: return kEncodedStreamAreaSize;
        case 5: return kOriginalVideoAreaSize;
        case 9: return kPreviewSlotsAreaSize;
        case 13: return kFullPreviewAreaSize;
        default: return 0;
    }
}

ReplayData::~ReplayData() { ::close(fd_); }

void ReplayData::read(std::uint64_t from, std::span<std::uint8_t> out) const {
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::pread(fd_, out.data() + done, out.size() - done, static_cast<off_t>(from + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(done), out.end(), std::uint8_t{0});
}

ReplaySummary summarize(const ReplayScript& script) {
    ReplaySummary s;
    s.fetches = script.fetches.size();
    for (const ReplayFetch& f : script.fetches) {
        for (const auto& r : f.records) ++s.recordsByCode[r[0]];
        for (const ReplayArea& a : f.areas) s.areaBytes += a.size();
    }
    if (script.paced && !script.fetches.empty()) s.durationMicros = script.fetches.back().atMicros;
    return s;
}

bool readReplayText(std::string_view text, std::string_view fileName, const std::filesystem::path& folder,
                    ReplayScript& script, std::string& error) {
    ReplayScript result;
    result.file = std::string(fileName);
    ReplayReader reader(folder, result);
    const bool read = readLines(
        text, fileName,
        [&reader](std::string_view line, int, std::string& reason) { return reader.line(withoutComment(line), reason); },
        error);
    if (!read) return false;
    reader.finish();
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
