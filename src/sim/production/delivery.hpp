#pragma once
// What the card hands the console: one queued item per notification it will
// become (a stream block, an original-video picture, a preview picture, a
// DSP debug record), and where in the mapped areas its bytes go. Items are
// small descriptions; their bytes are written into the areas only when a
// fetch hands them out.
#include <cstddef>
#include <cstdint>

#include "driver/request_codes.hpp"
#include "sim/card/sim_areas.hpp"

namespace pemblor::sim {

// Notification codes.
inline constexpr std::uint32_t kCodeOriginalVideo = 17;
inline constexpr std::uint32_t kCodeStreamBlocks = 18;
inline constexpr std::uint32_t kCodeDebugRecords = 25;
inline constexpr std::uint32_t kCodePreviewCif = 240;
inline constexpr std::uint32_t kCodePreviewQcif = 241;
inline constexpr std::uint32_t kCodePreviewNtscCif = 242;
inline constexpr std::uint32_t kCodeFullPreview = 247;

inline constexpr std::size_t kMaxRecordsPerFetch = 8;
inline constexpr std::size_t kBlockHeaderSize = 8;  // total length, stream id
inline constexpr std::size_t kDebugRecordSize = 72;
inline constexpr std::size_t kStreamCount = 8;       // stream ids 0..7: mains, then subs
// The encoded-stream area: runs of stream blocks from offset 0, debug
// records in their own region at the end.
inline constexpr std::size_t kDebugRegionOffset = 0x1F0000;
inline constexpr std::size_t kRunLimit = kDebugRegionOffset;
inline constexpr std::size_t kDebugRecordsPerFetch = (kEncodedStreamAreaSize - kDebugRegionOffset) / kDebugRecordSize;

// The area space an item takes: items sharing one wait for each other.
enum class Place : std::uint8_t {
    Run,  // a code-18 run from offset 0 of the encoded-stream area
    Debug,
    OriginalVideo,
    PreviewSlot0,  // + channel
    PreviewSlot1,
    PreviewSlot2,
    PreviewSlot3,
    FullPreview,
};
inline constexpr std::size_t kPlaceCount = 8;

struct Delivery {
    std::uint32_t code = 0;
    std::uint32_t channel = 0;  // channel 0..3, or the stream id of a block
    std::uint32_t size = 0;     // bytes it takes in its area (a block's header included)
    std::uint32_t number = 0;   // picture number, or the debug record's sequence number
    std::uint32_t stamp = 0;    // PackedTime of a marked block; milliseconds of a debug record
    bool marked = false;        // the 16-byte marked block before an IDR picture
    const std::uint8_t* payload = nullptr;  // a plain block's payload, in storage the card keeps
};

Place placeOf(const Delivery& d);

}  // namespace pemblor::sim
