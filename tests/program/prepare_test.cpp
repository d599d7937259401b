#include "program/prepare.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

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

class Prepare : public ::testing::Test {
protected:
    TempDir dir;
    pemblor::testing::FakeHost host;

    Bytes program() const {
        return CoffWriter(CoffLayout::kC1)
            .add({.address = 0x0, .flags = kSectionCode, .data = pattern(700, 1)})
            .add({.address = 0x00800000, .flags = kSectionData, .data = pattern(64, 2)})
            .build();
    }
    std::optional<LoadImage> run(const std::filesystem::path& p) { return prepare(host, nullptr, p); }
};

TEST(ImagePath, ExtensionIsTheTextAfterTheLastDotOfTheName) {
    EXPECT_EQ(upperExtension("a/prog.out"), "OUT");
    EXPECT_EQ(upperExtension("a/prog.tar.Out"), "OUT");
    EXPECT_EQ(upperExtension("a.out/prog"), "");
    EXPECT_EQ(upperExtension("a/prog."), "");
    EXPECT_EQ(upperExtension("a/.out"), "OUT");
    EXPECT_EQ(imagePathFor("/x/prog.out"), std::filesystem::path("/x/prog.IMG"));
    EXPECT_EQ(imagePathFor("/x/PROG.Out"), std::filesystem::path("/x/PROG.IMG"));
    EXPECT_EQ(imagePathFor("/x/prog.img"), std::nullopt);
    EXPECT_EQ(imagePathFor("/x/prog.outx"), std::nullopt);
}

TEST_F(Prepare, CoffExecutableIsConvertedAndNothingLoaded) {
    for (const char* name : {"prog.out", "PROG.Out"}) {
        host.messages.clear();
        writeFile(dir / name, program());
        EXPECT_FALSE(run(dir / name).has_value());
        std::string image = (dir / name).string();
        image.replace(image.size() - 3, 3, "IMG");
        ASSERT_EQ(host.messages.size(), 1u);
        EXPECT_EQ(host.messages[0], "Encoded IMG file has been created! Please load:" + image);
        EXPECT_EQ(readFile(image), scrambled(program()));
    }
}

TEST_F(Prepare, UnopenableCoffShowsOnlyThePath) {
    EXPECT_FALSE(run(dir / "prog.out").has_value());
    EXPECT_EQ(host.messages, std::vector<std::string>{(dir / "prog.out").string() + "Open file failed!"});
    EXPECT_FALSE(std::filesystem::exists(dir / "prog.IMG"));
}

TEST_F(Prepare, ConvertedImageLoads) {
    writeFile(dir / "prog.out", program());
    run(dir / "prog.out");
    host.messages.clear();
    std::optional<LoadImage> image = run(dir / "prog.IMG");
    ASSERT_TRUE(image.has_value());
    EXPECT_TRUE(host.messages.empty());
    EXPECT_EQ(image->fileLength(), program().size());
    ASSERT_EQ(image->blocks().size(), 2u);
    EXPECT_EQ(image->blocks()[1].address, 0x00800000u);
    EXPECT_EQ(Bytes(image->blocks()[0].data.begin(), image->blocks()[0].data.end()), pattern(700, 1));
}

TEST_F(Prepare, AnyOtherExtensionIsAnImage) {
    writeFile(dir / "prog", scrambled(program()));
    EXPECT_TRUE(run(dir / "prog").has_value());
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(Prepare, FileFailuresShowTheirMessage) {
    writeFile(dir / "empty.img", {});
    const Bytes badVersion = CoffWriter(CoffLayout::kC1).version(0x0099).add({.flags = kSectionCode, .data = {1}}).build();
    writeFile(dir / "v99.img", scrambled(badVersion));
    CoffWriter many(CoffLayout::k93);
    for (int s = 0; s < 1025; ++s) many.add({.flags = kSectionCode, .data = {1, 2, 3, 4}});
    writeFile(dir / "many.img", scrambled(many.build()));
    Bytes cut = program();
    cut.resize(cut.size() - 1);
    writeFile(dir / "cut.img", scrambled(cut));

    struct Case {
        std::filesystem::path path;
        std::string message;
    };
    const Case cases[] = {
        {dir / "none.img", (dir / "none.img").string() + "Open file failed!"},
        {dir.path(), dir.path().string() + "Open file failed!"},
        {dir / "empty.img", (dir / "empty.img").string() + "File is too small!"},
        {dir / "v99.img", "Parsing file failed!"},
        {dir / "many.img", "Parsing file failed!"},
        {dir / "cut.img", "Parsing file failed!"},
        // A COFF executable picked without converting it first is no image.
        {dir / "plain.img", "Parsing file failed!"},
    };
    writeFile(dir / "plain.img", program());
    for (const Case& c : cases) {
        host.messages.clear();
        EXPECT_FALSE(run(c.path).has_value()) << c.path;
        EXPECT_EQ(host.messages, std::vector<std::string>{c.message}) << c.path;
    }
}

// A file whose length + 512 can't be a buffer: refused before anything is
// allocated (a sparse file, so the test costs no disk).
TEST_F(Prepare, HugeFileIsRefusedAsAllocationFailure) {
    const std::filesystem::path huge = dir / "huge.img";
    {
        const int fd = ::open(huge.c_str(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        const int truncated = ::ftruncate(fd, 0x100000000ll);
        ::close(fd);
        if (truncated != 0) GTEST_SKIP() << "no sparse files here";
    }
    EXPECT_FALSE(run(huge).has_value());
    EXPECT_EQ(host.messages, std::vector<std::string>{"buffer Memory allocation failed!"});
}

}  // namespace
}  // namespace pemblor::program
