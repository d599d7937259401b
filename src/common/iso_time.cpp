#include "common/iso_time.hpp"

#include <cstdio>

namespace pemblor::common {

std::string isoLocalTime(std::time_t t) {
    std::tm local{};
    ::localtime_r(&t, &local);
    char text[48];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    // Written out rather than %z, which gives +0100 where the extended form wants +01:00.
    const long offset = local.tm_gmtoff / 60;
    const long magnitude = offset < 0 ? -offset : offset;
    std::snprintf(text + n, sizeof text - n, "%c%02ld:%02ld", offset < 0 ? '-' : '+', magnitude / 60, magnitude % 60);
    return text;
}

}  // namespace pemblor::common
