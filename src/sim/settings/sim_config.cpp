// The --sim-config reader. Every key is one row of kKeys: a new setting is a
// field in CardSettings, a reader function and a row, nothing else.
#include <set>

#include "common/input_file.hpp"

#include "sim/settings/sim_settings.hpp"
#include "sim/settings/sim_text.hpp"

namespace pemblor::sim {

namespace {

// Far above any real settings file; a larger one is a mistake (a video named
// by accident), not settings.
constexpr std::size_t kMaxConfigSize = 1 << 20;

// One [card N] section while it is read.
struct Section {
    std::filesystem::path folder;  // of the settings file: relative paths start there
    int number = -1;
    bool present = true;
    CardSettings card;
    std::set<std::string, std::less<>> keysSeen;
};

// Reads a value into the section; suffix is what follows a prefix key
// ("3" of "info.3"), empty for plain keys.
using KeyReader = bool (*)(std::string_view suffix, std::string_view value, Section& section,
                           std::string& error);

struct KeyRule {
    std::string_view name;  // "info." ends in a dot: a prefix key
    KeyReader read;
};

bool readWord(std::string_view value, std::uint32_t& word, std::string& error) {
    return readNumber(value, word, error);
}

bool readYesNo(std::string_view key, std::string_view value, bool& out, std::string& error) {
    if (value == "yes" || value == "true" || value == "1" || value == "on") {
        out = true;
    } else if (value == "no" || value == "false" || value == "0" || value == "off") {
        out = false;
    } else {
        error = std::string(key) + " must be yes or no, not '" + std::string(value) + "'";
        return false;
    }
    return true;
}

bool readPresent(std::string_view, std::string_view value, Section& section, std::string& error) {
    return readYesNo("present", value, section.present, error);
}

bool readVersion(std::string_view, std::string_view value, Section& section, std::string& error) {
    return readWord(value, section.card.version, error);
}

bool readHardware(std::string_view, std::string_view value, Section& section, std::string& error) {
    const auto words = splitList(value);
    if (!words || words->size() != 2) {
        error = "hardware takes two words, as in 'hardware = 0x00020801 0x20260101'";
        return false;
    }
    return readWord((*words)[0], section.card.hardware[0], error) &&
           readWord((*words)[1], section.card.hardware[1], error);
}

bool readSerial(std::string_view, std::string_view value, Section& section, std::string& error) {
    if (value.size() > kMaxSerialLength) {
        error = "serial is longer than 16 characters";
        return false;
    }
    for (char c : value) {
        if (c < 0x20 || c > 0x7E) {
            error = "serial must be printable ASCII";
            return false;
        }
    }
    section.card.serial = std::string(value);
    return true;
}

bool readSlot(std::string_view, std::string_view value, Section& section, std::string& error) {
    std::uint32_t slot = 0;
    if (!readWord(value, slot, error)) return false;
    section.card.slot = slot;
    return true;
}

bool readMap(std::string_view, std::string_view value, Section& section, std::string& error) {
    if (value == "refuse") {
        section.card.faults.refuseMapping = true;
    } else if (value == "accept") {
        section.card.faults.refuseMapping = false;
    } else {
        error = "map must be refuse or accept, not '" + std::string(value) + "'";
        return false;
    }
    return true;
}

bool readFail(std::string_view, std::string_view value, Section& section, std::string& error) {
    const auto items = splitList(value);
    if (!items) {
        error = "empty item in the list of request codes";
        return false;
    }
    std::set<std::uint32_t> codes;
    for (std::string_view item : *items) {
        std::uint32_t code = 0;
        if (!readWord(item, code, error)) return false;
        codes.insert(code);
    }
    section.card.faults.failingCodes = std::move(codes);
    return true;
}

// Category as in the information list: 0..14, also 0xA.. or the list's own
// single letter A..E.
std::optional<std::uint32_t> parseCategory(std::string_view text) {
    if (text.size() == 1 && ((text[0] >= 'A' && text[0] <= 'E') || (text[0] >= 'a' && text[0] <= 'e')))
        return static_cast<std::uint32_t>((text[0] | 0x20) - 'a' + 10);
    const auto n = parseNumber(text);
    if (!n || *n >= kCategoryCount) return std::nullopt;
    return n;
}

bool readInfo(std::string_view suffix, std::string_view value, Section& section, std::string& error) {
    const auto category = parseCategory(suffix);
    if (!category) {
        error = "info.<c> needs a category 0..14, not '" + std::string(suffix) + "'";
        return false;
    }
    std::vector<std::uint8_t> bytes;
    if (!parseHexBytes(value, bytes, error)) return false;
    if (bytes.size() > kMaxInfoAnswer) {
        error = "info answer of " + std::to_string(bytes.size()) + " bytes is longer than 256";
        return false;
    }
    section.card.info[*category] = std::move(bytes);
    return true;
}

// "ADDR VALUE[, ADDR VALUE ...]": DSP addresses in the card's memory, byte values.
bool readStuck(std::string_view, std::string_view value, Section& section, std::string& error) {
    StuckBytes stuck;
    while (!trimBlanks(value).empty()) {
        const std::size_t comma = value.find(',');
        const std::string_view pair = value.substr(0, comma);
        value = comma == std::string_view::npos ? std::string_view{} : value.substr(comma + 1);
        const auto items = splitList(pair);
        if (!items || items->size() != 2) {
            error = "stuck takes pairs of address and value, as in 'stuck = 0xC05 0xFB, 0x80000010 0'";
            return false;
        }
        std::uint32_t address = 0, byte = 0;
        if (!readWord((*items)[0], address, error) || !readWord((*items)[1], byte, error)) return false;
        if (!DspMemory::inside(address, 1)) {
            error = "stuck address " + std::string((*items)[0]) +
                    " is not in the DSP's memory (0 to 0x3FFFFF, 0x80000000 to 0x87FFFFFF)";
            return false;
        }
        if (byte > 0xFF) {
            error = "stuck value " + std::string((*items)[1]) + " is not a byte";
            return false;
        }
        if (!stuck.emplace(address, static_cast<std::uint8_t>(byte)).second) {
            error = "stuck address " + std::string((*items)[0]) + " given twice";
            return false;
        }
        if (comma == std::string_view::npos) break;
        if (trimBlanks(value).empty()) {
            error = "empty item in the stuck list";
            return false;
        }
    }
    section.card.faults.stuck = std::move(stuck);
    return true;
}

bool readDsp(std::string_view, std::string_view value, Section& section, std::string& error) {
    if (value == "normal") {
        section.card.dspMode = DspMode::Normal;
    } else if (value == "running") {
        section.card.dspMode = DspMode::Running;
    } else if (value == "never") {
        section.card.dspMode = DspMode::Never;
    } else {
        error = "dsp must be normal, running or never, not '" + std::string(value) + "'";
        return false;
    }
    return true;
}

// A number no larger than limit.
bool readBounded(std::string_view key, std::string_view value, std::uint32_t limit, std::uint32_t& out,
                 std::string& error) {
    std::uint32_t n = 0;
    if (!readWord(value, n, error)) return false;
    if (n > limit) {
        error = std::string(key) + " must be at most " + std::to_string(limit);
        return false;
    }
    out = n;
    return true;
}

bool readBootMs(std::string_view, std::string_view value, Section& section, std::string& error) {
    return readBounded("boot_ms", value, 60000, section.card.bootMs, error);
}

bool readQueue(std::string_view, std::string_view value, Section& section, std::string& error) {
    if (!readBounded("queue", value, 1u << 20, section.card.queueItems, error)) return false;
    if (section.card.queueItems == 0) {
        error = "queue must hold at least one item";
        return false;
    }
    return true;
}

bool readDebugPerSecond(std::string_view, std::string_view value, Section& section, std::string& error) {
    return readBounded("debug_per_s", value, 1000, section.card.debugPerSecond, error);
}

bool readFps(std::string_view, std::string_view value, Section& section, std::string& error) {
    if (!readBounded("fps", value, 60, section.card.fps, error)) return false;
    if (section.card.fps == 0) {
        error = "fps must be 1 or more";
        return false;
    }
    return true;
}

bool readKbps(std::string_view key, std::string_view value, std::uint32_t& out, std::string& error) {
    if (!readBounded(key, value, 20000, out, error)) return false;
    if (out < 16) {
        error = std::string(key) + " must be at least 16";
        return false;
    }
    return true;
}

bool readMainKbps(std::string_view, std::string_view value, Section& section, std::string& error) {
    return readKbps("main_kbps", value, section.card.mainKbps, error);
}

bool readSubKbps(std::string_view, std::string_view value, Section& section, std::string& error) {
    return readKbps("sub_kbps", value, section.card.subKbps, error);
}

bool readOriginalVideoFps(std::string_view, std::string_view value, Section& section, std::string& error) {
    return readBounded("orgvideo_fps", value, 60, section.card.originalVideoFps, error);
}

bool readPreviewFps(std::string_view, std::string_view value, Section& section, std::string& error) {
    return readBounded("preview_fps", value, 60, section.card.previewFps, error);
}

bool readFullSizeFps(std::string_view, std::string_view value, Section& section, std::string& error) {
    return readBounded("fullsize_fps", value, 60, section.card.fullSizeFps, error);
}

bool readNtsc(std::string_view, std::string_view value, Section& section, std::string& error) {
    return readYesNo("ntsc", value, section.card.ntsc, error);
}

bool readPreviewCodes(std::string_view, std::string_view value, Section& section, std::string& error) {
    const auto items = splitList(value);
    if (!items || items->size() != 4) {
        error = "preview_codes takes four codes, one a channel, as in 'preview_codes = 242 241 240 242'";
        return false;
    }
    std::array<std::uint32_t, 4> codes{};
    for (std::size_t ch = 0; ch < 4; ++ch) {
        if (!readWord((*items)[ch], codes[ch], error)) return false;
        if (codes[ch] < 240 || codes[ch] > 242) {
            error = "preview code " + std::string((*items)[ch]) + " is not 240, 241 or 242";
            return false;
        }
    }
    section.card.previewCodes = codes;
    return true;
}

bool readSpeed(std::string_view, std::string_view value, Section& section, std::string& error) {
    if (!readBounded("speed", value, 64, section.card.speed, error)) return false;
    if (section.card.speed == 0) {
        error = "speed must be 1 or more";
        return false;
    }
    return true;
}

bool readRefuseBlock(std::string_view, std::string_view value, Section& section, std::string& error) {
    std::uint32_t index = 0;
    if (!readWord(value, index, error)) return false;
    section.card.faults.refuseBlock = index;
    return true;
}

bool readVanishAfterMs(std::string_view, std::string_view value, Section& section, std::string& error) {
    std::uint32_t ms = 0;
    if (!readWord(value, ms, error)) return false;
    section.card.faults.vanishAfterMs = ms;
    return true;
}

bool readMalformed(std::string_view, std::string_view value, Section& section, std::string& error) {
    return readYesNo("malformed", value, section.card.faults.malformed, error);
}

// Numbers first..last, separated by commas or blanks, each at most once in the result.
bool readNumberSet(std::string_view key, std::string_view value, std::uint32_t first, std::uint32_t last,
                   std::set<std::uint32_t>& out, std::string& error) {
    const auto items = splitList(value);
    if (!items || items->empty()) {
        error = std::string(key) + " takes numbers " + std::to_string(first) + " to " + std::to_string(last);
        return false;
    }
    std::set<std::uint32_t> numbers;
    for (std::string_view item : *items) {
        std::uint32_t n = 0;
        if (!readBounded(key, item, last, n, error)) return false;
        if (n < first) {
            error = std::string(key) + " must be at least " + std::to_string(first);
            return false;
        }
        numbers.insert(n);
    }
    out = std::move(numbers);
    return true;
}

bool readDropStream(std::string_view, std::string_view value, Section& section, std::string& error) {
    return readNumberSet("drop_stream", value, 0, 7, section.card.faults.droppedStreams, error);
}

bool readCorruptStream(std::string_view, std::string_view value, Section& section, std::string& error) {
    return readNumberSet("corrupt_stream", value, 0, 7, section.card.faults.corruptStreams, error);
}

bool readNoPreview(std::string_view, std::string_view value, Section& section, std::string& error) {
    std::set<std::uint32_t> channels;
    if (!readNumberSet("no_preview", value, 1, 4, channels, error)) return false;
    section.card.faults.silentPreviews.clear();
    for (std::uint32_t ch : channels) section.card.faults.silentPreviews.insert(ch - 1);
    return true;
}

bool readReplayKey(std::string_view, std::string_view value, Section& section, std::string& error) {
    if (value.empty()) {
        error = "replay needs a file";
        return false;
    }
    auto script = std::make_shared<ReplayScript>();
    if (!readReplay(section.folder / std::filesystem::path(value), *script, error)) return false;
    script->file = std::string(value);
    section.card.replay = std::move(script);
    return true;
}

bool readLoop(std::string_view, std::string_view value, Section& section, std::string& error) {
    return readYesNo("loop", value, section.card.replayLoop, error);
}

constexpr KeyRule kKeys[] = {
    {"present", readPresent}, {"version", readVersion}, {"hardware", readHardware},
    {"serial", readSerial},   {"slot", readSlot},       {"map", readMap},
    {"fail", readFail},       {"info.", readInfo},      {"stuck", readStuck},
    {"dsp", readDsp},         {"boot_ms", readBootMs},  {"queue", readQueue},
    {"debug_per_s", readDebugPerSecond}, {"speed", readSpeed}, {"replay", readReplayKey}, {"loop", readLoop},
    {"fps", readFps}, {"main_kbps", readMainKbps}, {"sub_kbps", readSubKbps},
    {"orgvideo_fps", readOriginalVideoFps}, {"preview_fps", readPreviewFps}, {"fullsize_fps", readFullSizeFps},
    {"ntsc", readNtsc}, {"preview_codes", readPreviewCodes},
    {"refuse_block", readRefuseBlock}, {"vanish_after_ms", readVanishAfterMs}, {"malformed", readMalformed},
    {"drop_stream", readDropStream}, {"corrupt_stream", readCorruptStream}, {"no_preview", readNoPreview},
};

// Drops a comment: '#' or ';' at the start or after a blank.
std::string_view withoutComment(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); ++i) {
        if ((line[i] == '#' || line[i] == ';') && (i == 0 || line[i - 1] == ' ' || line[i - 1] == '\t'))
            return line.substr(0, i);
    }
    return line;
}

class ConfigReader {
public:
    ConfigReader(std::string_view fileName, SimSettings& settings) : fileName_(fileName), settings_(settings) {}

    bool read(std::string_view text, std::string& error) {
        const bool read = readLines(
            text, fileName_,
            [this](std::string_view line, int number, std::string& reason) {
                return readLine(trimBlanks(withoutComment(line)), number, reason);
            },
            error);
        if (!read) return false;
        finishSection();
        return true;
    }

private:
    bool readLine(std::string_view line, int lineNumber, std::string& reason) {
        if (line.empty()) return true;
        if (line.front() == '[') return readSectionHead(line, lineNumber, reason);
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos) {
            reason = "expected 'key = value' or '[card N]'";
            return false;
        }
        const std::string_view key = trimBlanks(line.substr(0, eq));
        const std::string_view value = trimBlanks(line.substr(eq + 1));
        if (key.empty()) {
            reason = "missing key before '='";
            return false;
        }
        if (!section_) {
            reason = "'" + std::string(key) + "' outside a [card N] section";
            return false;
        }
        return readKey(key, value, reason);
    }

    bool readSectionHead(std::string_view line, int lineNumber, std::string& reason) {
        if (line.back() != ']') {
            reason = "bad section '" + std::string(line) + "', expected [card N]";
            return false;
        }
        const std::string_view inner = trimBlanks(line.substr(1, line.size() - 2));
        const std::size_t blank = inner.find_first_of(" \t");
        std::optional<std::uint32_t> number;
        if (blank != std::string_view::npos && inner.substr(0, blank) == "card")
            number = parseNumber(trimBlanks(inner.substr(blank)));
        if (!number) {
            reason = "bad section '" + std::string(line) + "', expected [card N]";
            return false;
        }
        const std::uint32_t value = *number;
        if (value > static_cast<std::uint32_t>(kMaxDeviceNumber)) {
            reason = "device number " + std::to_string(value) + " out of range 0..31";
            return false;
        }
        const int n = static_cast<int>(value);
        if (const auto first = sectionLines_.find(n); first != sectionLines_.end()) {
            reason = "[card " + std::to_string(n) + "] given twice (first at line " +
                     std::to_string(first->second) + ")";
            return false;
        }
        finishSection();
        sectionLines_[n] = lineNumber;
        section_.emplace();
        section_->folder = std::filesystem::path(fileName_).parent_path();
        section_->number = n;
        if (const auto it = settings_.cards.find(n); it != settings_.cards.end()) section_->card = it->second;
        return true;
    }

    bool readKey(std::string_view key, std::string_view value, std::string& reason) {
        for (const KeyRule& rule : kKeys) {
            const bool prefix = rule.name.ends_with('.');
            if (prefix ? !key.starts_with(rule.name) : key != rule.name) continue;
            if (!section_->keysSeen.insert(std::string(key)).second) {
                reason = "'" + std::string(key) + "' given twice in [card " + std::to_string(section_->number) + "]";
                return false;
            }
            return rule.read(prefix ? key.substr(rule.name.size()) : std::string_view{}, value, *section_, reason);
        }
        reason = "unknown key '" + std::string(key) + "'";
        return false;
    }

    void finishSection() {
        if (!section_) return;
        if (section_->present)
            settings_.cards[section_->number] = std::move(section_->card);
        else
            settings_.cards.erase(section_->number);
        section_.reset();
    }

    std::string fileName_;
    SimSettings& settings_;
    std::optional<Section> section_;
    std::map<int, int> sectionLines_;  // device number -> line of its section
};

}  // namespace

bool applySimConfigText(std::string_view text, std::string_view fileName, SimSettings& settings,
                        std::string& error) {
    SimSettings result = settings;  // applied whole or not at all
    if (!ConfigReader(fileName, result).read(text, error)) return false;
    settings = std::move(result);
    return true;
}

bool applySimConfig(const std::filesystem::path& file, SimSettings& settings, std::string& error) {
    std::string text, reason;
    if (!common::readRegularFile(file, kMaxConfigSize, text, reason)) {
        error = common::shownText(file.string() + ": " + reason);
        return false;
    }
    return applySimConfigText(text, file.string(), settings, error);
}

}  // namespace pemblor::sim
