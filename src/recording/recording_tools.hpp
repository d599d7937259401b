#pragma once
// Offline tools for recording files (EVDATA<dev><slot>.264): what a file
// holds, and a copy of its stream in a standard container that every video
// tool opens. Both read any H.264 the card sends: B pictures, fields, MBAFF,
// recovery points instead of IDR pictures.
#include <cstdint>
#include <filesystem>
#include <ostream>
#include <vector>

#include "recording/recording_stream.hpp"

namespace pemblor::recording {

struct InfoOptions {
    bool json = false;     // one JSON document for all files
    bool verbose = false;  // let the decoder library's own messages through
};

// Prints, for each file: the header (start and end as dates, finished or
// cut off), payload bytes, marked blocks skipped, access units and IDR
// pictures, and what the stream is (profile, level, size, frame or field
// coding, reordering, groups, pictures a decoder could not show, damage).
// A file without a recording header is read as a bare stream. Returns 0, or
// 1 when a file can't be read, holds bytes but no H.264, or is damaged (the
// others are still shown).
int recordingInfo(const std::vector<std::filesystem::path>& files, std::ostream& out, std::ostream& err,
                  const InfoOptions& options = {});

struct ExportOptions {
    // Pictures a second when the stream's timing information gives none
    // (0: 25). The stream's own rate comes first.
    std::uint32_t fpsNum = 0, fpsDen = 1;
    bool verbose = false;
};

// Copies the stream of a recording into an MP4 or Matroska file (by the
// output's extension) without re-encoding, marked blocks left out, from the
// first picture a decoder can start at (an IDR picture or a recovery
// point), each picture with its showing time. The output is written under a
// temporary name and replaces OUT only when complete. Returns 0, or 1 with a
// message on err for a file that holds no H.264, a bad output name, a write
// failure, or damage in the stream (then the file holds every picture that
// could be kept).
int exportRecording(const std::filesystem::path& input, const std::filesystem::path& output, std::ostream& out,
                    std::ostream& err, const Progress& progress = {}, const ExportOptions& options = {});

// Keeps libavformat and libavcodec quiet unless verbose.
void quietLibraries(bool verbose);

}  // namespace pemblor::recording
