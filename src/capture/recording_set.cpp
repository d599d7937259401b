#include "capture/recording_set.hpp"

#include "common/data_root.hpp"
#include "common/printf_line.hpp"

namespace pemblor::capture {

using common::kSlotCount;

std::string streamFileName(int device, std::size_t slot) {
    return common::printfLine("C:\\EVDATA%02d%02d.264", device, static_cast<int>(slot));
}

std::string debugFileName(int device) { return common::printfLine("C:\\DSPDEBUG%02d.LOG", device); }

std::string videoFileName(int device) { return common::printfLine("C:\\ORGVIDEO%02d.YUV", device); }

std::optional<std::filesystem::path> RecordingSet::open(const std::filesystem::path& root, int device,
                                                        std::uint32_t startTime, WriteErrorSink& sink,
                                                        const std::atomic<bool>* stop, common::WriteCounters* written) {
    using Mode = RecordingFile::Mode;
    open_.store(true, std::memory_order_release);
    const auto counter = [written](common::FileKind kind) { return written ? &written->bytes[kind] : nullptr; };
    // A failure part-way closes what was opened; no file stays half-open.
    const auto failAt = [&](const std::filesystem::path& path) {
        finish(startTime);
        return std::optional<std::filesystem::path>(path);
    };
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        const std::filesystem::path path = common::mapConsolePath(root, streamFileName(device, slot));
        if (!streams_[slot].open(path, Mode::kFresh, sink, stop, counter(common::kStreamFile))) return failAt(path);
        headers_[slot] = RecordingHeader{startTime};
        streams_[slot].append(headers_[slot].bytes());
    }
    const std::filesystem::path debugPath = common::mapConsolePath(root, debugFileName(device));
    if (!debugLog_.open(debugPath, Mode::kAppend, sink, stop, counter(common::kDebugFile))) return failAt(debugPath);
    const std::filesystem::path videoPath = common::mapConsolePath(root, videoFileName(device));
    if (!video_.open(videoPath, Mode::kFreshShared, sink, stop, counter(common::kVideoFile))) return failAt(videoPath);
    return std::nullopt;
}

void RecordingSet::finish(std::uint32_t endTime) {
    if (!open_.exchange(false, std::memory_order_acq_rel)) return;
    finishEach(endTime, [](RecordingFile& file, std::span<const std::uint8_t> header) { file.finish(header); });
}

void RecordingSet::finishIdle(std::uint32_t endTime) {
    if (!isOpen()) return;
    finishEach(endTime, [](RecordingFile& file, std::span<const std::uint8_t> header) { file.finishIfIdle(header); });
}

void RecordingSet::finishEach(std::uint32_t endTime,
                              const std::function<void(RecordingFile&, std::span<const std::uint8_t>)>& finishFile) {
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        RecordingHeader header = headers_[slot];
        header.endTime = endTime;
        finishFile(streams_[slot], header.bytes());
    }
    finishFile(debugLog_, {});
    finishFile(video_, {});
}

}  // namespace pemblor::capture
