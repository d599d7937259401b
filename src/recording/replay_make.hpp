#pragma once
// pemblorctl replay make: an H.264 stream cut into stream blocks and
// notification records as the card sends them, written as a replay file (and
// its data file OUT.bin) that a simulated card hands out at the stream's
// pace. The input is an Annex B stream, a recording file, or the video of
// any file libavformat opens.
#include <cstdint>
#include <filesystem>
#include <ostream>

namespace pemblor::recording {

struct MakeOptions {
    std::uint32_t channel = 0;  // 0..3: the stream id's channel
    bool sub = false;           // the channel's sub-stream (ids 4..7)
    bool marked = false;        // a marked block before each key picture, as the card sends them
    std::uint32_t fpsNum = 0, fpsDen = 1;  // when neither the stream nor the container gives a rate; 0: 25
    bool verbose = false;
};

// Returns 0, or 1 with one line on err naming the file and what is wrong.
int makeReplay(const std::filesystem::path& input, const std::filesystem::path& output, std::ostream& out,
               std::ostream& err, const MakeOptions& options = {});

}  // namespace pemblor::recording
