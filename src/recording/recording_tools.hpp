#pragma once
// Offline tools for recording files (EVDATA<dev><slot>.264): what a file
// holds, and a copy of its stream in a standard container that every video
// tool opens.
#include <filesystem>
#include <functional>
#include <ostream>
#include <vector>

namespace pemblor::recording {

// Prints, for each file: the header (start and end as dates, finished or
// cut off), payload bytes, marked blocks skipped, access units and IDR
// pictures. A file without a recording header is read as a bare stream.
// Returns 0, or 1 when a file can't be read (the others are still shown).
int recordingInfo(const std::vector<std::filesystem::path>& files, std::ostream& out, std::ostream& err);

// Called with the share of the input done, 0 to 1, now and then.
using Progress = std::function<void(double)>;

// Copies the stream of a recording into an MP4 or Matroska file (by the
// output's extension) without re-encoding, at 25 pictures a second, marked
// blocks left out and the pictures before the first IDR picture (the
// recording started within a group) dropped. Returns 0, or 1 with a message
// on err for a file that holds no H.264, a bad output name or a write failure.
int exportRecording(const std::filesystem::path& input, const std::filesystem::path& output, std::ostream& out,
                    std::ostream& err, const Progress& progress = {});

}  // namespace pemblor::recording
