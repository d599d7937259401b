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
