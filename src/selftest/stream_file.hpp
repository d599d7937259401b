#pragma once
// What one stream recording holds, read back after reception: its header,
// its payload, the pictures in it, and how they decode. The file is read as
// a player would take it: the card's marked blocks taken out, access units
// from the first IDR picture on given to the decoder, the last one held back
// (reception may have ended inside it). The card's marked block before each
// IDR picture carries its running picture number, so pictures lost between
// two IDR pictures show even where the decoder hides the gap.
#include <atomic>
#include <cstdint>
#include <filesystem>

#include "video/decoder.hpp"

namespace pemblor::selftest {

struct StreamFileFacts {
    bool read = false;      // the file opened and was read to its end
    bool finished = false;  // its header is there and carries an end time
    std::uint64_t payloadBytes = 0;
    std::uint32_t pictures = 0;   // access units holding a picture
    std::uint32_t decodable = 0;  // of them, given to the decoder
    std::uint32_t decoded = 0;    // pictures the decoder gave back whole
    std::uint32_t wrongSize = 0;  // of them, not of the expected size
    // Pictures the running picture numbers of the marked blocks call for
    // between two IDR pictures, but that are not there.
    std::uint32_t missing = 0;
    int width = 0;  // of the last picture given back
    int height = 0;

    // Pictures given to the decoder that did not come back whole.
    std::uint32_t errors() const { return decodable > decoded ? decodable - decoded : 0; }
};

// Reads the recording at path; pictures are expected to be width x height.
// A stop ends the reading early (read stays false).
StreamFileFacts readStreamFile(const std::filesystem::path& path, int width, int height,
                               video::DecoderFactory& decoders, const std::atomic<bool>* stop);

}  // namespace pemblor::selftest
