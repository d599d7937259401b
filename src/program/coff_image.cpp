#include "program/coff_image.hpp"

#include <limits>

#include "driver/little_endian.hpp"
#include "program/scrambler.hpp"

namespace pemblor::program {

using driver::loadU16;
using driver::loadU32;

std::string_view blockKindName(BlockKind kind) { return kind == BlockKind::kSection ? "section" : "copy"; }

bool BlockList::append(const LoadBlock& block) {
    if (blocks_.size() >= kMaxBlocks) return false;
    blocks_.push_back(block);
    return true;
}

namespace {

struct Layout {
    std::size_t fileHeaderSize;
    std::size_t sectionHeaderSize;
};

struct SectionHeader {
    std::uint32_t address;
    std::uint32_t size;
    std::uint32_t rawOffset;
    std::uint32_t flags;
};

SectionHeader readSectionHeader(std::span<const std::uint8_t> file, std::size_t at, const Layout& layout) {
    const bool wide = layout.sectionHeaderSize == 48;
    return {loadU32(file, at + 12), loadU32(file, at + 16), loadU32(file, at + 20),
            wide ? loadU32(file, at + 40) : loadU16(file, at + 36)};
}

bool admitted(const SectionHeader& s) {
    if (s.size == 0 || s.rawOffset == 0) return false;
    if (s.flags & (kSectionDummy | kSectionNoLoad | kSectionUninitialised)) return false;
    if (s.flags != 0 && !(s.flags & (kSectionPadding | kSectionCode | kSectionData))) return false;
    return true;
}

// True when [offset, offset + length) lies inside the file; 64-bit so that
// nothing a file says can wrap.
bool inside(std::span<const std::uint8_t> file, std::uint64_t offset, std::uint64_t length) {
    return offset <= file.size() && length <= file.size() - offset;
}

ReadResult appendBlock(std::span<const std::uint8_t> file, BlockList& blocks, std::uint32_t address,
                       std::uint64_t offset, std::uint64_t length, BlockKind kind) {
    if (!inside(file, offset, length)) return ReadResult::kOutsideFile;
    const LoadBlock block{address, file.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(length)),
                          static_cast<std::uint32_t>(offset), kind};
    return blocks.append(block) ? ReadResult::kOk : ReadResult::kTooManyBlocks;
}

// Records of a copy section: count, address, 4 x count data bytes; a count of
// 0 ends the list. Each record gives one block of all its data bytes.
ReadResult walkCopyRecords(std::span<const std::uint8_t> file, std::uint64_t at, BlockList& blocks) {
    for (;;) {
        // The closing record is its count alone.
        if (!inside(file, at, 4)) return ReadResult::kOutsideFile;
        const std::uint32_t count = loadU32(file, static_cast<std::size_t>(at));
        if (count == 0) return ReadResult::kOk;
        if (!inside(file, at, 8)) return ReadResult::kOutsideFile;
        const std::uint32_t address = loadU32(file, static_cast<std::size_t>(at) + 4);
        const std::uint64_t length = 4 * std::uint64_t{count};
        if (ReadResult r = appendBlock(file, blocks, address, at + 8, length, BlockKind::kCopyRecord);
            r != ReadResult::kOk)
            return r;
        at += 8 + length;
    }
}

ReadResult walk(std::span<const std::uint8_t> file, BlockList& blocks) {
    if (file.size() < 4 || file.size() > std::numeric_limits<std::uint32_t>::max())
        return ReadResult::kOutsideFile;
    const std::size_t sectionCount = loadU16(file, 2);
    if (sectionCount > kMaxSectionHeaders) return ReadResult::kTooManySections;

    Layout layout{};
    switch (loadU16(file, 0)) {
    case kCoffVersion93: layout = {20, 40}; break;
    case kCoffVersionC1: layout = {22, 40}; break;
    case kCoffVersionC2: layout = {22, 48}; break;
    default: return ReadResult::kUnknownVersion;
    }
    if (file.size() < layout.fileHeaderSize) return ReadResult::kOutsideFile;

    const std::size_t first = layout.fileHeaderSize + loadU16(file, 16);
    if (!inside(file, first, sectionCount * layout.sectionHeaderSize)) return ReadResult::kOutsideFile;

    for (std::size_t s = 0; s < sectionCount; ++s) {
        const SectionHeader section = readSectionHeader(file, first + s * layout.sectionHeaderSize, layout);
        if (!admitted(section)) continue;
        ReadResult r = ReadResult::kOk;
        if (section.flags & kSectionCopy) {
            // The wide layout carries no copy records the loader understands.
            if (layout.sectionHeaderSize == 48) continue;
            r = walkCopyRecords(file, section.rawOffset, blocks);
        } else {
            r = appendBlock(file, blocks, section.address, section.rawOffset, section.size, BlockKind::kSection);
        }
        if (r != ReadResult::kOk) return r;
    }
    return ReadResult::kOk;
}

}  // namespace

ReadResult walkSections(std::span<const std::uint8_t> file, BlockList& blocks) {
    blocks.clear();
    const ReadResult r = walk(file, blocks);
    if (r != ReadResult::kOk) blocks.clear();
    return r;
}

ReadResult decodeImage(std::span<std::uint8_t> image, BlockList& blocks) {
    unscramble(image, 0);
    return walkSections(image, blocks);
}

}  // namespace pemblor::program
