#pragma once
// The 128-byte header at the start of every stream recording file: a fixed
// description of the stream, the local time the file was opened and the time
// it was finished (a placeholder until then, so an unfinished file shows).
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "driver/packed_time.hpp"
#include "ui/host.hpp"

namespace pemblor::capture {

inline constexpr std::size_t kRecordingHeaderSize = 128;
// The stream every header describes: the main stream's picture size and the
// card's picture rate (the sub-streams carry half the width and height).
inline constexpr int kRecordingWidth = 352;
inline constexpr int kRecordingHeight = 288;
inline constexpr int kRecordingPictureRate = 25;

struct RecordingHeader {
    std::uint32_t startTime = 0;
    std::uint32_t endTime = driver::kOpenRecordingEndTime;

    std::array<std::uint8_t, kRecordingHeaderSize> bytes() const;
    // The header at the start of a file's bytes; nothing unless they begin with
    // "KESTA" and give the header's own length as 128.
    static std::optional<RecordingHeader> parse(std::span<const std::uint8_t> file);
    bool finished() const { return endTime != driver::kOpenRecordingEndTime; }
};

driver::DateTime toDateTime(const ui::LocalTime& t);
inline std::uint32_t packLocalTime(const ui::LocalTime& t) { return driver::packTime(toDateTime(t)); }

}  // namespace pemblor::capture
