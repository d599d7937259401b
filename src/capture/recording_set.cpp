#include "capture/recording_set.hpp"

#include "app/data_root.hpp"
#include "app/printf_line.hpp"

namespace pemblor::capture {

std::string streamFileName(int device, std::size_t slot) {
    return app::printfLine("C:\\EVDATA%02d%02d.264", device, static_cast<int>(slot));
}

std::string debugFileName(int device) { return app::printfLine("C:\\DSPDEBUG%02d.LOG", device); }

std::string videoFileName(int device) { return app::printfLine("C:\\ORGVIDEO%02d.YUV", device); }

std::optional<std::filesystem::path> RecordingSet::open(const std::filesystem::path& root, int device,
                                                        std::uint32_t startTime, WriteErrorSink& sink) {
    using Mode = RecordingFile::Mode;
    open_ = true;
    // A failure part-way closes what was opened; no file stays half-open.
    const auto failAt = [&](const std::filesystem::path& path) {
        finish(startTime);
        return std::optional<std::filesystem::path>(path);
    };
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        const std::filesystem::path path = app::mapConsolePath(root, streamFileName(device, slot));
        if (!streams_[slot].open(path, Mode::kFresh, sink)) return failAt(path);
        headers_[slot] = RecordingHeader{startTime};
        streams_[slot].append(headers_[slot].bytes());
    }
    const std::filesystem::path debugPath = app::mapConsolePath(root, debugFileName(device));
    if (!debugLog_.open(debugPath, Mode::kAppend, sink)) return failAt(debugPath);
    const std::filesystem::path videoPath = app::mapConsolePath(root, videoFileName(device));
    if (!video_.open(videoPath, Mode::kFreshShared, sink)) return failAt(videoPath);
    return std::nullopt;
}

void RecordingSet::finish(std::uint32_t endTime) {
    if (!open_) return;
    open_ = false;
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) {
        RecordingFile& file = streams_[slot];
        if (!file.isOpen()) continue;
        file.flush();
        RecordingHeader header = headers_[slot];
        header.endTime = endTime;
        file.writeAt(0, header.bytes());
        file.close();
    }
    debugLog_.close();
    video_.close();
}

}  // namespace pemblor::capture
