#pragma once
// A recording file read through, piece by piece: its header if it has one,
// the card's marked blocks taken out of its payload, the H.264 stream cut
// into access units and put in showing order. A file without a recording
// header is read as a bare H.264 stream. Memory stays flat whatever the
// file holds: pieces of 1 MiB, and what the splitter and the order hold.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>

#include "capture/recording_header.hpp"
#include "recording/access_units.hpp"
#include "recording/marked_blocks.hpp"
#include "recording/stream_order.hpp"

namespace pemblor::recording {

// Called with the share of the input done, 0 to 1, now and then.
using Progress = std::function<void(double)>;

class RecordingStream {
public:
    // keep: which bytes the access units carry; onUnit sees every access unit
    // in decoding order before the order does; onPicture gets the pictures
    // with their timestamps.
    RecordingStream(const std::filesystem::path& path, UnitBytes keep, StreamOrder::Sink onPicture = {},
                    AccessUnitSplitter::Sink onUnit = {});

    bool opened() const { return opened_; }
    // Why the file could not be opened, in the system's words ("No such file or directory").
    const std::string& openError() const { return openError_; }
    const std::optional<capture::RecordingHeader>& header() const { return header_; }
    // Reads the whole payload; false on a read error. `stop` ends it early when it turns true.
    bool run(const Progress& progress = {}, const bool* stop = nullptr);

    std::uint64_t payloadBytes() const { return payload_; }
    std::uint64_t markedBlocks() const { return filter_.markedBlocks(); }
    const StreamFacts& facts() const { return order_.facts(); }
    const StreamOrder& order() const { return order_; }
    const AccessUnitSplitter& units() const { return units_; }
    // Holds H.264: parameter sets or pictures were found.
    bool holdsH264() const { return units_.parameterSetsSeen() || facts().accessUnits > 0; }

private:
    std::ifstream in_;
    bool opened_ = false;
    std::string openError_;
    std::uint64_t size_ = 0;
    std::uint64_t payload_ = 0;
    std::optional<capture::RecordingHeader> header_;
    AccessUnitSplitter::Sink onUnit_;
    StreamOrder order_;
    AccessUnitSplitter units_;
    MarkedBlockFilter filter_;
};

// A packed local time as "2026-12-08 10:30:00".
std::string dateText(std::uint32_t packed);
// A rate as "25" or "29.97".
std::string rateText(std::uint32_t num, std::uint32_t den);
// The same in ISO 8601 with the local offset then in force: "2026-12-08T10:30:00+01:00".
std::string isoDateText(std::uint32_t packed);

}  // namespace pemblor::recording
