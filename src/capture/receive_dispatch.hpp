#pragma once
// What the receive thread does with one fetch of notification records: each
// of the eight 16-byte records in order, by its code. Stream payloads and
// original video go to their files straight from the mapped areas; the
// played slot's payloads go to the player, preview notices to the preview;
// debug records become lines; every notice is counted for the status lines.
// No allocation here: this runs for every fetch.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "capture/reception_hub.hpp"
#include "capture/recording_set.hpp"

namespace pemblor::capture {

inline constexpr std::size_t kRecordSize = 16;
inline constexpr std::size_t kRecordsPerFetch = 8;
inline constexpr std::size_t kFetchSize = kRecordSize * kRecordsPerFetch;

// Notification codes.
inline constexpr std::uint32_t kOriginalVideoReady = 0x11;
inline constexpr std::uint32_t kStreamBlocksReady = 0x12;
inline constexpr std::uint32_t kDebugRecordsReady = 0x19;
inline constexpr std::uint32_t kPreviewReady0 = 0xF0;
inline constexpr std::uint32_t kPreviewReady1 = 0xF1;
inline constexpr std::uint32_t kPreviewReady2 = 0xF2;
inline constexpr std::uint32_t kFullPreviewReady = 0xF7;

// The four areas of the address-mapping record, each with its size.
struct ReceiveAreas {
    std::span<std::uint8_t> stream;        // word 1: stream blocks and debug records
    std::span<std::uint8_t> video;         // word 5: original video
    std::span<std::uint8_t> previewSlots;  // word 9: four preview pictures
    std::span<std::uint8_t> fullPreview;   // word 13: the full-size preview picture

    bool complete() const { return !stream.empty() && !video.empty() && !previewSlots.empty() && !fullPreview.empty(); }
};

class ReceiveDispatcher {
public:
    // Counts, consumers, the save flag and the clock come from the hub.
    ReceiveDispatcher(const ReceiveAreas& areas, ReceptionHub& hub, RecordingSet& files);

    // Handles the eight records of one fetch; records beyond the bytes
    // delivered are zero and so ignored. Once the hub is closed it handles
    // nothing more: the areas may be gone.
    void dispatch(std::span<const std::uint8_t, kFetchSize> records);

    common::ReceiveStats& stats() { return stats_; }

private:
    void originalVideo(std::uint32_t count);
    void streamBlocks(std::uint32_t count);
    void debugRecords(std::uint32_t offset, std::uint32_t count);
    void preview(std::uint32_t code, std::uint32_t channel);
    std::span<std::uint8_t> previewPicture(std::uint32_t code, std::uint32_t channel) const;

    ReceiveAreas areas_;
    ReceptionHub& hub_;
    common::ReceiveStats& stats_;
    RecordingSet& files_;
};

}  // namespace pemblor::capture
