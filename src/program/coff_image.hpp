#pragma once
// The COFF section walk of a DSP program image: which sections (and which
// records of copy sections) become load blocks for the DSP. Blocks refer into
// the unscrambled file held in memory; nothing is copied.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace pemblor::program {

enum class ReadResult : int {
    kOk = 0,
    kCannotOpen = 90,
    kUnknownVersion = 120,
    kTooManySections = 121,  // more than 1024 section headers
    kOutsideFile = 122,      // a header, block or copy record lies beyond the end of the file
    kTooManyBlocks = 123,    // the sections and copy records give more than 1024 blocks
};

enum class BlockKind { kSection, kCopyRecord };

std::string_view blockKindName(BlockKind kind);  // "section", "copy"

struct LoadBlock {
    std::uint32_t address = 0;           // destination in DSP address space
    std::span<const std::uint8_t> data;  // inside the file buffer
    std::uint32_t fileOffset = 0;        // where data starts in the file
    BlockKind kind = BlockKind::kSection;

    std::uint32_t length() const { return static_cast<std::uint32_t>(data.size()); }
};

// At most kMaxBlocks blocks, in file order.
class BlockList {
public:
    static constexpr std::size_t kMaxBlocks = 1024;

    BlockList() { blocks_.reserve(kMaxBlocks); }
    // False, and nothing appended, when the list is full.
    bool append(const LoadBlock& block);
    void clear() { blocks_.clear(); }

    std::size_t size() const { return blocks_.size(); }
    bool empty() const { return blocks_.empty(); }
    const LoadBlock& operator[](std::size_t i) const { return blocks_[i]; }
    auto begin() const { return blocks_.begin(); }
    auto end() const { return blocks_.end(); }

private:
    std::vector<LoadBlock> blocks_;
};

inline constexpr std::size_t kMaxSectionHeaders = 1024;

// Section flags that the walk tests.
inline constexpr std::uint32_t kSectionDummy = 0x01;
inline constexpr std::uint32_t kSectionNoLoad = 0x02;
inline constexpr std::uint32_t kSectionPadding = 0x08;
inline constexpr std::uint32_t kSectionCopy = 0x10;
inline constexpr std::uint32_t kSectionCode = 0x20;
inline constexpr std::uint32_t kSectionData = 0x40;
inline constexpr std::uint32_t kSectionUninitialised = 0x80;

// Version IDs and the layouts they select.
inline constexpr std::uint16_t kCoffVersion93 = 0x0093;  // 20-byte file header, 40-byte sections
inline constexpr std::uint16_t kCoffVersionC1 = 0x00C1;  // 22, 40
inline constexpr std::uint16_t kCoffVersionC2 = 0x00C2;  // 22, 48

// Walks the unscrambled file and fills blocks (left empty unless the result
// is kOk). Every block lies inside file.
ReadResult walkSections(std::span<const std::uint8_t> file, BlockList& blocks);

// Unscrambles an image held whole in memory (in place, from offset 0) and
// walks it.
ReadResult decodeImage(std::span<std::uint8_t> image, BlockList& blocks);

}  // namespace pemblor::program
