#include "program/coff_image.hpp"

#include <gtest/gtest.h>

#include "coff_files.hpp"

namespace pemblor::program {
namespace {

using testing::Bytes;
using testing::CoffLayout;
using testing::CoffSection;
using testing::CoffWriter;
using testing::copyRecords;
using testing::pattern;

ReadResult walk(const Bytes& file, BlockList& blocks) { return walkSections(file, blocks); }

class EveryLayout : public ::testing::TestWithParam<CoffLayout> {};
INSTANTIATE_TEST_SUITE_P(Coff, EveryLayout, ::testing::Values(CoffLayout::k93, CoffLayout::kC1, CoffLayout::kC2));

TEST_P(EveryLayout, SectionsBecomeBlocksInFileOrderWithoutCopies) {
    CoffWriter w(GetParam());
    w.optionalHeader(28)
        .add({.address = 0x00000000, .flags = kSectionCode, .data = pattern(100, 1), .name = ".text"})
        .add({.address = 0x80000000, .flags = kSectionUninitialised, .data = {}, .size = 4096, .name = ".bss"})
        .add({.address = 0x00800000, .flags = kSectionData, .data = pattern(37, 9), .name = ".cinit"});
    const Bytes file = w.build();
    BlockList blocks;
    ASSERT_EQ(walk(file, blocks), ReadResult::kOk);
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0].address, 0x00000000u);
    EXPECT_EQ(blocks[0].length(), 100u);
    EXPECT_EQ(blocks[0].fileOffset, w.dataOffset(0));
    EXPECT_EQ(blocks[0].data.data(), file.data() + w.dataOffset(0));  // refers into the buffer
    EXPECT_EQ(blocks[0].kind, BlockKind::kSection);
    EXPECT_EQ(blocks[1].address, 0x00800000u);
    EXPECT_EQ(Bytes(blocks[1].data.begin(), blocks[1].data.end()), pattern(37, 9));
}

TEST_P(EveryLayout, DecodeImageUnscramblesInPlaceFirst) {
    CoffWriter w(GetParam());
    w.add({.address = 0x1000, .flags = kSectionCode, .data = pattern(600, 3)});
    const Bytes plain = w.build();
    Bytes image = testing::scrambled(plain);
    BlockList blocks;
    ASSERT_EQ(decodeImage(image, blocks), ReadResult::kOk);
    EXPECT_EQ(image, plain);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].data.data(), image.data() + w.dataOffset(0));
}

TEST_P(EveryLayout, SectionHeaderLimitIs1024) {
    for (std::size_t count : {1024u, 1025u}) {
        CoffWriter w(GetParam());
        for (std::size_t s = 0; s < count; ++s)
            w.add({.address = static_cast<std::uint32_t>(s * 4), .flags = kSectionCode, .data = pattern(4, 0)});
        BlockList blocks;
        const ReadResult r = walk(w.build(), blocks);
        if (count == 1024) {
            ASSERT_EQ(r, ReadResult::kOk);
            EXPECT_EQ(blocks.size(), 1024u);
            EXPECT_EQ(blocks[1023].address, 1023u * 4);
        } else {
            EXPECT_EQ(r, ReadResult::kTooManySections);
            EXPECT_TRUE(blocks.empty());
        }
    }
}

TEST(CoffWalk, UnknownVersionIsRefused) {
    for (std::uint16_t version : {0x0099, 0x0000, 0x00C0, 0x00C3, 0x9300}) {
        CoffWriter w(CoffLayout::kC1);
        w.version(version).add({.address = 0, .flags = kSectionCode, .data = pattern(8, 0)});
        BlockList blocks;
        EXPECT_EQ(walk(w.build(), blocks), ReadResult::kUnknownVersion) << version;
    }
}

struct FlagCase {
    std::uint32_t flags;
    std::size_t blocks;
};

class FlagTests : public ::testing::TestWithParam<std::tuple<CoffLayout, FlagCase>> {};

TEST_P(FlagTests, AdmitOrSkip) {
    const auto [layout, c] = GetParam();
    CoffWriter w(layout);
    w.add({.address = 0x2000, .flags = c.flags, .data = pattern(16, 0)});
    BlockList blocks;
    ASSERT_EQ(walk(w.build(), blocks), ReadResult::kOk);
    EXPECT_EQ(blocks.size(), c.blocks) << std::hex << "flags 0x" << c.flags;
}

INSTANTIATE_TEST_SUITE_P(
    Coff, FlagTests,
    ::testing::Combine(::testing::Values(CoffLayout::k93, CoffLayout::kC1, CoffLayout::kC2),
                       ::testing::Values(FlagCase{0x0000, 1}, FlagCase{0x0020, 1}, FlagCase{0x0040, 1},
                                         FlagCase{0x0008, 1}, FlagCase{0x0060 | 0x0080, 0}, FlagCase{0x0004, 0},
                                         FlagCase{0x0021, 0}, FlagCase{0x0022, 0}, FlagCase{0x0100, 0},
                                         FlagCase{0x0010, 0}, FlagCase{0x0200 | 0x0020, 1})));

TEST(CoffWalk, EmptyOrUnplacedSectionsAreSkipped) {
    CoffWriter w(CoffLayout::kC1);
    w.add({.address = 1, .flags = kSectionCode, .data = {}, .size = 0, .rawOffset = 64})
        .add({.address = 2, .flags = kSectionCode, .data = {}, .size = 64, .rawOffset = 0});
    BlockList blocks;
    ASSERT_EQ(walk(w.build(), blocks), ReadResult::kOk);
    EXPECT_TRUE(blocks.empty());
}

// A copy section's records each give a block of all 4 x count data bytes.
TEST(CoffWalk, CopySectionRecordsInNarrowLayouts) {
    for (CoffLayout layout : {CoffLayout::k93, CoffLayout::kC1}) {
        CoffWriter w(layout);
        w.add({.address = 0x10, .flags = kSectionCopy | kSectionData,
               .data = copyRecords({{0x00900000, {0x11111111, 0x22222222}},
                                    {0x00A00000, {0x33333333}}})})
            .add({.address = 0x20, .flags = kSectionCopy, .data = copyRecords({{0x00B00000, {1}}})});
        const Bytes file = w.build();
        BlockList blocks;
        ASSERT_EQ(walk(file, blocks), ReadResult::kOk);
        ASSERT_EQ(blocks.size(), 2u);
        EXPECT_EQ(blocks[0].address, 0x00900000u);
        EXPECT_EQ(blocks[0].fileOffset, w.dataOffset(0) + 8);
        EXPECT_EQ(blocks[0].length(), 8u);
        EXPECT_EQ(blocks[0].kind, BlockKind::kCopyRecord);
        EXPECT_EQ(blocks[1].address, 0x00A00000u);
        EXPECT_EQ(blocks[1].fileOffset, w.dataOffset(0) + 8 + 8 + 8);
        EXPECT_EQ(Bytes(blocks[1].data.begin(), blocks[1].data.end()), (Bytes{0x33, 0x33, 0x33, 0x33}));
    }
}

TEST(CoffWalk, CopySectionIsSkippedInWideLayout) {
    CoffWriter w(CoffLayout::kC2);
    w.add({.address = 0x10, .flags = kSectionCopy | kSectionData, .data = copyRecords({{0x00900000, {1, 2}}})})
        .add({.address = 0x20, .flags = kSectionCode, .data = pattern(8, 0)});
    BlockList blocks;
    ASSERT_EQ(walk(w.build(), blocks), ReadResult::kOk);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].address, 0x20u);
}

TEST(CoffWalk, BlockLimitIs1024CopyRecordsIncluded) {
    for (std::size_t records : {1023u, 1024u}) {
        std::vector<testing::CopyRecord> list(records, {0x100, {7}});
        CoffWriter w(CoffLayout::k93);
        w.add({.address = 0, .flags = kSectionCode, .data = pattern(4, 0)})
            .add({.address = 0, .flags = kSectionCopy | kSectionCode, .data = copyRecords(list)});
        BlockList blocks;
        const ReadResult r = walk(w.build(), blocks);
        if (records == 1023) {
            ASSERT_EQ(r, ReadResult::kOk);
            EXPECT_EQ(blocks.size(), 1024u);
        } else {
            EXPECT_EQ(r, ReadResult::kTooManyBlocks);
            EXPECT_TRUE(blocks.empty());
        }
    }
}

// Files that lie about where things are: refused, never read beyond the end.
TEST(CoffWalk, HostileFilesAreRefused) {
    struct Case {
        const char* what;
        Bytes file;
    };
    auto one = [](CoffSection s, CoffLayout layout = CoffLayout::kC1) { return CoffWriter(layout).add(std::move(s)).build(); };
    Bytes truncatedTable = CoffWriter(CoffLayout::kC2).add({.flags = kSectionCode, .data = pattern(4, 0)}).build();
    truncatedTable.resize(22 + 47);
    Bytes truncatedData = one({.flags = kSectionCode, .data = pattern(64, 0)});
    truncatedData.pop_back();
    Bytes shortHeader = CoffWriter(CoffLayout::k93).build();
    shortHeader.resize(19);
    Bytes hugeOptional = one({.flags = kSectionCode, .data = pattern(4, 0)});
    driver::storeU16(hugeOptional, 16, 0xFFFF);

    const Case cases[] = {
        {"empty", {}},
        {"three bytes", {0x93, 0x00, 0x00}},
        {"header cut", shortHeader},
        {"section table cut", truncatedTable},
        {"optional header beyond end", hugeOptional},
        {"raw data cut", truncatedData},
        {"raw data offset beyond end", one({.flags = kSectionCode, .data = {}, .size = 4, .rawOffset = 0xFFFFFFF0})},
        {"size wraps offset", one({.flags = kSectionCode, .data = pattern(4, 0), .size = 0xFFFFFFFF})},
        {"copy record head cut", one({.flags = kSectionCopy | kSectionCode, .data = {1, 0, 0, 0, 0}})},
        {"copy record data cut", one({.flags = kSectionCopy | kSectionCode, .data = {2, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}}, CoffLayout::k93)},
        {"copy list without end", one({.flags = kSectionCopy | kSectionCode, .data = copyRecords({{0, {1}}}, false)})},
        {"copy count of 4 GiB", one({.flags = kSectionCopy | kSectionCode, .data = {0, 0, 0, 0x40, 0, 0, 0, 0, 1, 2, 3, 4}})},
        {"copy count wraps", one({.flags = kSectionCopy | kSectionCode, .data = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0}})},
        {"copy offset beyond end", one({.flags = kSectionCopy | kSectionCode, .data = {}, .size = 8, .rawOffset = 0x7FFFFFFF})},
    };
    for (const Case& c : cases) {
        BlockList blocks;
        EXPECT_EQ(walk(c.file, blocks), ReadResult::kOutsideFile) << c.what;
        EXPECT_TRUE(blocks.empty()) << c.what;
    }
}

// Only admitted sections' data must lie inside: an uninitialised section
// may say anything about raw data it does not have.
TEST(CoffWalk, SkippedSectionsMayPointAnywhere) {
    CoffWriter w(CoffLayout::kC1);
    w.add({.flags = kSectionUninitialised, .data = {}, .size = 0x100000, .rawOffset = 0xFFFFFF00})
        .add({.flags = kSectionNoLoad | kSectionCode, .data = {}, .size = 16, .rawOffset = 0x7FFFFFFF})
        .add({.address = 5, .flags = kSectionCode, .data = pattern(16, 0)});
    BlockList blocks;
    ASSERT_EQ(walk(w.build(), blocks), ReadResult::kOk);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].address, 5u);
}

// A block that ends exactly at the end of the file is inside it.
TEST(CoffWalk, BlockMayEndAtEndOfFile) {
    CoffWriter w(CoffLayout::k93);
    w.add({.flags = kSectionCode, .data = pattern(33, 0)});
    const Bytes file = w.build();
    BlockList blocks;
    ASSERT_EQ(walk(file, blocks), ReadResult::kOk);
    EXPECT_EQ(blocks[0].data.data() + blocks[0].data.size(), file.data() + file.size());
}

}  // namespace
}  // namespace pemblor::program
