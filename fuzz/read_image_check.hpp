#pragma once
// What reading an image must guarantee whatever the file holds; shared by
// the fuzz target and the corpus replay test.
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

#include "program/coff_image.hpp"
#include "program/scrambler.hpp"

namespace pemblor::program {

// Scrambles a plain COFF file into an image, reads it back as a load does,
// and returns false when a guarantee is broken. The image buffer is exactly
// as long as the file, so any read beyond it trips the address sanitizer.
inline bool readImageKeepsItsPromises(std::span<const std::uint8_t> plain, ReadResult* resultOut = nullptr) {
    std::vector<std::uint8_t> image(plain.begin(), plain.end());
    scramble(image, 0);
    BlockList blocks;
    const ReadResult result = decodeImage(image, blocks);
    if (resultOut) *resultOut = result;
    if (!std::equal(image.begin(), image.end(), plain.begin())) return false;
    if (result != ReadResult::kOk) return blocks.empty();
    if (blocks.size() > BlockList::kMaxBlocks) return false;
    const std::uint8_t* begin = image.data();
    const std::uint8_t* end = begin + image.size();
    volatile std::uint8_t touched = 0;
    for (const LoadBlock& b : blocks) {
        if (b.data.empty() || b.data.data() < begin || b.data.data() + b.data.size() > end) return false;
        if (b.data.data() != begin + b.fileOffset) return false;
        touched = touched ^ b.data.front() ^ b.data.back();  // so the sanitizer sees both ends
    }
    return true;
}

}  // namespace pemblor::program
