#pragma once
// The ten files of one receiving period, opened in their order: the eight
// stream files "EVDATA<dev><slot>.264" (each starting with its header), the
// DSP debug file "DSPDEBUG<dev>.LOG" (grown from period to period) and the
// raw video file "ORGVIDEO<dev>.YUV".
#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "common/receive_stats.hpp"
#include "capture/recording_file.hpp"
#include "capture/recording_header.hpp"

namespace pemblor::capture {

using common::kSlotCount;

// The console's names of the files, before they are placed in the data root.
std::string streamFileName(int device, std::size_t slot);
std::string debugFileName(int device);
std::string videoFileName(int device);

class RecordingSet {
public:
    RecordingSet() = default;
    ~RecordingSet() = default;
    RecordingSet(const RecordingSet&) = delete;
    RecordingSet& operator=(const RecordingSet&) = delete;

    // Opens the files under root in order, all eight stream headers carrying
    // startTime, and stops at the first that can't be opened: the files
    // opened before it are finished and closed again, and its path returned.
    // Writes stop taking the bytes handed over once stop is set; what the
    // files take is counted in written, by kind. Both must outlive the set.
    std::optional<std::filesystem::path> open(const std::filesystem::path& root, int device, std::uint32_t startTime,
                                              WriteErrorSink& sink, const std::atomic<bool>* stop = nullptr,
                                              common::WriteCounters* written = nullptr);
    // Puts endTime into each open stream file's header and closes every file:
    // the stream files, then the debug file, then the raw video file.
    void finish(std::uint32_t endTime);
    // The same for every file that no other thread is writing now; a thread
    // held inside a write finishes its file itself (finish) as it ends.
    void finishIdle(std::uint32_t endTime);
    bool isOpen() const { return open_.load(std::memory_order_acquire); }

    RecordingFile& stream(std::size_t slot) { return streams_[slot]; }
    RecordingFile& debugLog() { return debugLog_; }
    RecordingFile& video() { return video_; }
    // The header each stream file was opened with.
    const RecordingHeader& header(std::size_t slot) const { return headers_[slot]; }

private:
    // Each stream file with its header (endTime put in), then the debug file, then the video file.
    void finishEach(std::uint32_t endTime,
                    const std::function<void(RecordingFile&, std::span<const std::uint8_t>)>& finishFile);

    std::array<RecordingFile, kSlotCount> streams_;
    std::array<RecordingHeader, kSlotCount> headers_;
    RecordingFile debugLog_;
    RecordingFile video_;
    std::atomic<bool> open_{false};
};

}  // namespace pemblor::capture
