#pragma once
// What the H.264 stream-order analysis must guarantee whatever bytes it is
// given; shared by the fuzz target and the corpus test. The bytes go in
// cut into three pieces, so that units spanning pieces are gathered too.
#include <cstddef>
#include <cstdint>
#include <span>

#include "recording/access_units.hpp"
#include "recording/stream_order.hpp"

namespace pemblor::recording {

inline bool streamOrderKeepsItsPromises(std::span<const std::uint8_t> bytes, StreamFacts* factsOut = nullptr) {
    bool kept = true;
    std::int64_t lastDts = INT64_MIN;
    std::uint64_t pictures = 0;
    StreamOrder order([&](TimedPicture& p) {
        // Decoding times rise, no picture is shown before it is decoded.
        kept = kept && p.dts > lastDts && p.pts >= p.dts;
        lastDts = p.dts;
        // The bytes are whole length-prefixed units.
        std::size_t at = 0;
        while (at + 4 <= p.bytes.size()) {
            const std::size_t n = std::size_t{p.bytes[at]} << 24 | std::size_t{p.bytes[at + 1]} << 16 |
                                  std::size_t{p.bytes[at + 2]} << 8 | p.bytes[at + 3];
            at += 4 + n;
        }
        kept = kept && at == p.bytes.size() && !p.bytes.empty();
        ++pictures;
    });
    AccessUnitSplitter units([&](AccessUnit& u) { order.add(u); }, UnitBytes::LengthPrefixed,
                             [&](std::uint64_t at, const char* why) { order.damage(at, why); });
    const std::size_t third = bytes.size() / 3;
    units.push(bytes.first(third));
    units.push(bytes.subspan(third, third));
    units.push(bytes.subspan(2 * third));
    units.finish();
    order.finish();
    if (factsOut) *factsOut = order.facts();
    return kept && pictures == order.facts().pictures;
}

}  // namespace pemblor::recording
