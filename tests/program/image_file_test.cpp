#include "program/image_file.hpp"

#include <gtest/gtest.h>

#include <random>

#include "coff_files.hpp"
#include "support/fake_host.hpp"
#include "support/temp_dir.hpp"

namespace pemblor::program {
namespace {

using testing::Bytes;
using testing::CoffLayout;
using testing::CoffWriter;
using testing::pattern;
using testing::readFile;
using testing::scrambled;
using pemblor::testing::TempDir;
using testing::writeFile;

// Piece edges and the empty file: the image is the whole file scrambled at
// once, byte for byte and exactly as long.
TEST(Convert, ImageIsTheWholeFileScrambled) {
    TempDir dir;
    pemblor::testing::FakeHost host;
    std::mt19937 rng(3);
    for (std::size_t size : {0u, 1u, 511u, 512u, 513u, 1024u, 70001u}) {
        Bytes coff(size);
        for (auto& b : coff) b = static_cast<std::uint8_t>(rng());
        writeFile(dir / "p.out", coff);
        ASSERT_TRUE(convert(host, nullptr, dir / "p.out", dir / "p.IMG")) << size;
        EXPECT_EQ(readFile(dir / "p.IMG"), scrambled(coff)) << size;
    }
    EXPECT_TRUE(host.messages.empty());
}

TEST(Convert, OverwritesAnExistingImage) {
    TempDir dir;
    pemblor::testing::FakeHost host;
    writeFile(dir / "p.out", pattern(10, 1));
    writeFile(dir / "p.IMG", pattern(5000, 2));
    ASSERT_TRUE(convert(host, nullptr, dir / "p.out", dir / "p.IMG"));
    EXPECT_EQ(readFile(dir / "p.IMG"), scrambled(pattern(10, 1)));
}

TEST(Convert, FailuresNameThePath) {
    TempDir dir;
    pemblor::testing::FakeHost host;
    EXPECT_FALSE(convert(host, nullptr, dir / "missing.out", dir / "missing.IMG"));
    EXPECT_FALSE(std::filesystem::exists(dir / "missing.IMG"));
    EXPECT_FALSE(convert(host, nullptr, dir.path(), dir / "dir.IMG"));  // a folder is no program

    writeFile(dir / "p.out", pattern(10, 1));
    EXPECT_FALSE(convert(host, nullptr, dir / "p.out", dir / "no-such-folder" / "p.IMG"));
    ASSERT_EQ(host.messages.size(), 3u);
    EXPECT_EQ(host.messages[0], (dir / "missing.out").string() + "Open file failed!");
    EXPECT_EQ(host.messages[1], dir.path().string() + "Open file failed!");
    EXPECT_EQ(host.messages[2], (dir / "no-such-folder" / "p.IMG").string() + "Open file failed!");
}

// A full disk must not pass for a written image.
TEST(Convert, WriteFailureIsReported) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    TempDir dir;
    pemblor::testing::FakeHost host;
    writeFile(dir / "p.out", pattern(3000, 1));
    EXPECT_FALSE(convert(host, nullptr, dir / "p.out", "/dev/full"));
    ASSERT_EQ(host.messages.size(), 1u);
    EXPECT_EQ(host.messages[0], "/dev/fullOpen file failed!");
}

TEST(ReadImage, ReadsUnscramblesAndWalks) {
    TempDir dir;
    CoffWriter w(CoffLayout::kC2);
    w.add({.address = 0x00800000, .flags = kSectionCode, .data = pattern(1500, 4)});
    const Bytes plain = w.build();
    writeFile(dir / "p.img", scrambled(plain));

    std::vector<std::uint8_t> buffer(plain.size() + kFilePiece);
    BlockList blocks;
    std::size_t length = 99;
    ASSERT_EQ(readImage(dir / "p.img", buffer, blocks, length), ReadResult::kOk);
    EXPECT_EQ(length, plain.size());
    EXPECT_TRUE(std::equal(plain.begin(), plain.end(), buffer.begin()));
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(blocks[0].data.data(), buffer.data() + w.dataOffset(0));
}

TEST(ReadImage, UnreadableFilesGive90) {
    TempDir dir;
    std::vector<std::uint8_t> buffer(1024);
    BlockList blocks;
    std::size_t length = 0;
    EXPECT_EQ(readImage(dir / "none.img", buffer, blocks, length), ReadResult::kCannotOpen);
    EXPECT_EQ(readImage(dir.path(), buffer, blocks, length), ReadResult::kCannotOpen);
    EXPECT_EQ(length, 0u);
}

// A file that grew after its length was taken is cut at the buffer's end,
// never written beyond it (the sanitizers watch the exact-size buffer).
TEST(ReadImage, NeverWritesBeyondTheBuffer) {
    TempDir dir;
    CoffWriter w(CoffLayout::k93);
    w.add({.flags = kSectionCode, .data = pattern(4000, 4)});
    writeFile(dir / "p.img", scrambled(w.build()));
    for (std::size_t capacity : {std::size_t{1}, std::size_t{512}, std::size_t{700}, std::size_t{1024}}) {
        auto buffer = std::make_unique<std::uint8_t[]>(capacity);
        BlockList blocks;
        std::size_t length = 0;
        EXPECT_EQ(readImage(dir / "p.img", {buffer.get(), capacity}, blocks, length), ReadResult::kOutsideFile);
        EXPECT_EQ(length, capacity);
    }
}

TEST(LoadImage, RefusesLengthsBeyond32BitOffsets) {
    EXPECT_FALSE(LoadImage::allocate(0x100000000ull).has_value());
    EXPECT_FALSE(LoadImage::allocate(0xFFFFFFFFull - 511).has_value());
    EXPECT_TRUE(LoadImage::allocate(0).has_value());
}

TEST(LoadImage, BlocksStayValidWhenMoved) {
    TempDir dir;
    CoffWriter w(CoffLayout::kC1);
    w.add({.address = 7, .flags = kSectionData, .data = pattern(300, 8)});
    const Bytes plain = w.build();
    writeFile(dir / "p.img", scrambled(plain));
    std::optional<LoadImage> image = LoadImage::allocate(plain.size());
    ASSERT_TRUE(image);
    ASSERT_EQ(image->read(dir / "p.img"), ReadResult::kOk);
    LoadImage moved = std::move(*image);
    image.reset();
    ASSERT_EQ(moved.blocks().size(), 1u);
    EXPECT_EQ(Bytes(moved.blocks()[0].data.begin(), moved.blocks()[0].data.end()), pattern(300, 8));
    EXPECT_EQ(moved.fileLength(), plain.size());
    EXPECT_EQ(Bytes(moved.bytes().begin(), moved.bytes().end()), plain);
}

}  // namespace
}  // namespace pemblor::program
