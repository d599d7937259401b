#include "capture/recording_header.hpp"

#include <algorithm>
#include <string_view>

#include "driver/little_endian.hpp"

namespace pemblor::capture {

namespace {

using driver::storeU16;
using driver::storeU32;

constexpr std::string_view kMagic = "KESTA";
constexpr std::size_t kStartTimeOffset = 44;
constexpr std::size_t kEndTimeOffset = 48;
constexpr std::size_t kLengthOffset = 52;

}  // namespace

std::array<std::uint8_t, kRecordingHeaderSize> RecordingHeader::bytes() const {
    std::array<std::uint8_t, kRecordingHeaderSize> b{};  // reserved bytes stay zero
    std::copy(kMagic.begin(), kMagic.end(), b.begin());
    // The stream's fixed description; nothing here reads it back but the header check.
    storeU32(b, 12, 0x6000);
    storeU32(b, 20, 0);
    storeU16(b, 24, 1);
    storeU16(b, 26, 8);
    storeU32(b, 28, 8000);
    storeU32(b, 32, 2);
    storeU16(b, 36, kRecordingWidth);
    storeU16(b, 38, kRecordingHeight);
    storeU16(b, 40, 0);
    storeU16(b, 42, kRecordingPictureRate);
    storeU32(b, kStartTimeOffset, startTime);
    storeU32(b, kEndTimeOffset, endTime);
    storeU32(b, kLengthOffset, kRecordingHeaderSize);
    storeU32(b, 124, 0);
    return b;
}

std::optional<RecordingHeader> RecordingHeader::parse(std::span<const std::uint8_t> file) {
    if (file.size() < kRecordingHeaderSize) return std::nullopt;
    if (!std::equal(kMagic.begin(), kMagic.end(), file.begin())) return std::nullopt;
    if (driver::loadU32(file, kLengthOffset) != kRecordingHeaderSize) return std::nullopt;
    return RecordingHeader{driver::loadU32(file, kStartTimeOffset), driver::loadU32(file, kEndTimeOffset)};
}

driver::DateTime toDateTime(const ui::LocalTime& t) {
    return {t.year, t.month, t.day, t.hour, t.minute, t.second};
}

}  // namespace pemblor::capture
