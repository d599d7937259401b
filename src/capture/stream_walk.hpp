#pragma once
// The walk over a run of stream blocks in the encoded-stream area. Each block
// is an 8-byte header (total length with the header, stream id) and its
// payload, one after the other from offset 0. The card's counts are not
// trusted: the run is cut to the area, and nothing outside it is read.
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

#include "common/receive_stats.hpp"
#include "driver/little_endian.hpp"

namespace pemblor::capture {

inline constexpr std::size_t kBlockHeaderSize = 8;
// The first payload word of a marked block.
inline constexpr std::uint32_t kMarkedBlockWord = 0xF0010000;

struct StreamBlock {
    std::size_t slot = 0;
    // As the header declares it: total length - 8, wrapping below 8.
    std::uint32_t payloadLength = 0;
    bool marked = false;
    // The payload when the whole block lies inside the run; empty otherwise.
    bool whole = false;
    std::span<const std::uint8_t> payload;
};

// Whether a payload begins a picture: the card cuts a picture into as many
// blocks as it needs, and only the first starts with a start code followed
// by an access unit delimiter, a sequence parameter set or the slice holding
// the picture's first macroblock (first_mb_in_slice 0: its first bit set).
// A start code never occurs inside a NAL unit, so a block cut within one
// never passes.
inline bool beginsPicture(std::span<const std::uint8_t> p) {
    constexpr int kSlice = 1, kIdrSlice = 5, kSequenceParameters = 7, kDelimiter = 9;
    std::size_t at = 0;
    if (p.size() >= 4 && p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 1) {
        at = 4;
    } else if (p.size() >= 3 && p[0] == 0 && p[1] == 0 && p[2] == 1) {
        at = 3;
    } else {
        return false;
    }
    if (at >= p.size()) return false;
    const int type = p[at] & 0x1F;
    if (type == kDelimiter || type == kSequenceParameters) return true;
    return (type == kSlice || type == kIdrSlice) && at + 1 < p.size() && (p[at + 1] & 0x80) != 0;
}

// Calls onBlock(const StreamBlock&) for every block header of the run of n
// bytes, the last one included when its payload runs past the end (then whole
// is false and the walk ends there). A header that ends exactly at the end of
// the run has no payload byte and is not read. A block is marked when the
// word after its header is kMarkedBlockWord, read even when the payload is
// empty, as long as the word lies inside the area. An onBlock that returns
// bool ends the walk by returning false.
template <typename OnBlock>
void walkStreamBlocks(std::span<const std::uint8_t> area, std::uint32_t n, OnBlock&& onBlock) {
    const std::size_t end = n < area.size() ? n : area.size();
    std::size_t pos = 0;
    while (pos + kBlockHeaderSize < end) {
        StreamBlock block;
        block.payloadLength = driver::loadU32(area, pos) - static_cast<std::uint32_t>(kBlockHeaderSize);
        block.slot = common::slotOfStreamId(driver::loadU32(area, pos + 4));
        pos += kBlockHeaderSize;
        block.marked = pos + 4 <= area.size() && driver::loadU32(area, pos) == kMarkedBlockWord;
        block.whole = block.payloadLength <= end - pos;
        if (block.whole) block.payload = area.subspan(pos, block.payloadLength);
        if constexpr (std::is_same_v<decltype(onBlock(static_cast<const StreamBlock&>(block))), bool>) {
            if (!onBlock(static_cast<const StreamBlock&>(block))) return;
        } else {
            onBlock(static_cast<const StreamBlock&>(block));
        }
        if (!block.whole) return;
        pos += block.payloadLength;
    }
}

}  // namespace pemblor::capture
