#pragma once
// A local date and time packed into 32 bits, as the card stamps its marked
// stream blocks and the recording files carry their start and end:
// bits 31..26 year - 2000 (six bits), 25..22 month, 21..17 day,
// 16..12 hour, 11..6 minute, 5..0 second.
#include <cstdint>

namespace pemblor::driver {

struct DateTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

// The year field is formed as the C library's years-since-1900 count + 1948,
// kept to six bits: years 2000 to 2063 are told apart.
constexpr std::uint32_t packTime(const DateTime& t) {
    const auto field = [](int v, int bits) { return static_cast<std::uint32_t>(v) & ((1u << bits) - 1); };
    return field(t.year - 1900 + 1948, 6) << 26 | field(t.month, 4) << 22 | field(t.day, 5) << 17 |
           field(t.hour, 5) << 12 | field(t.minute, 6) << 6 | field(t.second, 6);
}

constexpr DateTime unpackTime(std::uint32_t p) {
    return {2000 + static_cast<int>(p >> 26), static_cast<int>(p >> 22 & 0xF), static_cast<int>(p >> 17 & 0x1F),
            static_cast<int>(p >> 12 & 0x1F), static_cast<int>(p >> 6 & 0x3F), static_cast<int>(p & 0x3F)};
}

// The end time a recording header carries until the file is finished.
inline constexpr std::uint32_t kOpenRecordingEndTime = 0x1870A780;

static_assert(packTime({2008, 6, 18, 9, 14, 24}) == 0x21A49398);
static_assert(unpackTime(kOpenRecordingEndTime).year == 2006 && unpackTime(kOpenRecordingEndTime).day == 24 &&
              unpackTime(kOpenRecordingEndTime).hour == 10 && unpackTime(kOpenRecordingEndTime).minute == 30);

}  // namespace pemblor::driver
