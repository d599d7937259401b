#include "program/program_tools.hpp"

#include <gtest/gtest.h>

#include <sstream>

#include "coff_files.hpp"
#include "support/run_command.hpp"
#include "support/temp_dir.hpp"

namespace pemblor::program {
namespace {

using testing::Bytes;
using testing::CoffLayout;
using testing::CoffWriter;
using testing::copyRecords;
using testing::pattern;
using testing::readFile;
using testing::scrambled;
using pemblor::testing::TempDir;
using testing::writeFile;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

TEST(BlockLine, ReadsLikeASectionListing) {
    const std::uint8_t data[0x120] = {};
    EXPECT_EQ(formatBlockLine(3, {0x00800000, data, 0x8c, BlockKind::kSection}),
              "   3  00800000  00000120  0000008c  section");
    EXPECT_EQ(formatBlockLine(1023, {0xFFFFFFFC, {data, 4}, 0x1234, BlockKind::kCopyRecord}),
              "1023  fffffffc  00000004  00001234  copy");
    EXPECT_EQ(blockFileName(0), "block-0000.bin");
    EXPECT_EQ(blockFileName(1023), "block-1023.bin");
}

TEST(ConvertTool, WritesTheImageBesideAndPrintsItsPath) {
    TempDir dir;
    writeFile(dir / "PROG.out", pattern(1000, 5));
    std::ostringstream out, err;
    // The pattern is no COFF executable: converted only when forced.
    EXPECT_EQ(runConvertTool(dir / "PROG.out", out, err), 1);
    EXPECT_EQ(out.str(), "");
    EXPECT_FALSE(std::filesystem::exists(dir / "PROG.IMG"));
    err.str("");
    EXPECT_EQ(runConvertTool(dir / "PROG.out", out, err, true), 0);
    EXPECT_EQ(out.str(), (dir / "PROG.IMG").string() + "\n");
    EXPECT_EQ(err.str(), "");
    EXPECT_EQ(readFile(dir / "PROG.IMG"), scrambled(pattern(1000, 5)));
}

TEST(ConvertTool, FailuresPrintTheMessageAndExit1) {
    TempDir dir;
    std::ostringstream out, err;
    EXPECT_EQ(runConvertTool(dir / "gone.out", out, err), 1);
    EXPECT_EQ(err.str(), "pemblorctl: " + (dir / "gone.out").string() + ": No such file or directory\n");
    writeFile(dir / "prog.bin", pattern(10, 0));
    EXPECT_EQ(runConvertTool(dir / "prog.bin", out, err), 1);
    EXPECT_EQ(out.str(), "");
    EXPECT_FALSE(std::filesystem::exists(dir / "prog.IMG"));
}

class ImageTool : public ::testing::TestWithParam<CoffLayout> {};
INSTANTIATE_TEST_SUITE_P(Coff, ImageTool, ::testing::Values(CoffLayout::k93, CoffLayout::kC1, CoffLayout::kC2));

TEST_P(ImageTool, ListsDumpsAndDecodes) {
    TempDir dir;
    const bool narrow = GetParam() != CoffLayout::kC2;
    CoffWriter w(GetParam());
    w.add({.address = 0x00000400, .flags = kSectionCode, .data = pattern(0x120, 1)})
        .add({.address = 0x10, .flags = kSectionCopy | kSectionData, .data = copyRecords({{0x00900000, {0xAABBCCDD}}})});
    const Bytes plain = w.build();
    writeFile(dir / "PROG.IMG", scrambled(plain));

    std::ostringstream out, err;
    const int status = runImageTool({dir / "PROG.IMG", dir / "blocks", dir / "plain.out"}, out, err);
    EXPECT_EQ(status, 0) << err.str();
    char first[80], second[80];
    std::snprintf(first, sizeof first, "   0  00000400  00000120  %08x  section", w.dataOffset(0));
    std::snprintf(second, sizeof second, "   1  00900000  00000004  %08x  copy", w.dataOffset(1) + 8);
    std::vector<std::string> expected{"result 0", first};
    if (narrow) expected.push_back(second);
    EXPECT_EQ(lines(out.str()), expected);

    EXPECT_EQ(readFile(dir / "plain.out"), plain);
    EXPECT_EQ(readFile(dir / "blocks" / "block-0000.bin"), pattern(0x120, 1));
    EXPECT_EQ(std::filesystem::exists(dir / "blocks" / "block-0001.bin"), narrow);
    if (narrow) {
        EXPECT_EQ(readFile(dir / "blocks" / "block-0001.bin"), (Bytes{0xDD, 0xCC, 0xBB, 0xAA}));
    }
}

TEST(ImageToolResult, FailuresPrintOnlyTheResultAndExit1) {
    TempDir dir;
    Bytes cut = CoffWriter(CoffLayout::kC1).add({.flags = kSectionCode, .data = pattern(100, 0)}).build();
    cut.resize(cut.size() - 10);
    writeFile(dir / "cut.img", scrambled(cut));
    writeFile(dir / "v99.img", scrambled(CoffWriter(CoffLayout::kC1).version(0x99).build()));

    const std::pair<std::string, std::string> cases[] = {
        {"none.img", "result 90\n"}, {"cut.img", "result 122\n"}, {"v99.img", "result 120\n"}};
    for (const auto& [name, expected] : cases) {
        std::ostringstream out, err;
        EXPECT_EQ(runImageTool({dir / name, dir / "blocks", std::nullopt}, out, err), 1) << name;
        EXPECT_EQ(out.str(), expected);
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "blocks"));

    // A refused image can still be decoded for a look at what is wrong.
    std::ostringstream out, err;
    EXPECT_EQ(runImageTool({dir / "cut.img", std::nullopt, dir / "cut.out"}, out, err), 1);
    EXPECT_EQ(readFile(dir / "cut.out"), cut);
}

TEST(ImageToolResult, UnwritableOutputExits1) {
    TempDir dir;
    writeFile(dir / "p.img", scrambled(CoffWriter(CoffLayout::kC1).add({.flags = kSectionCode, .data = {1}}).build()));
    std::ostringstream out, err;
    EXPECT_EQ(runImageTool({dir / "p.img", std::nullopt, dir / "no" / "such" / "p.out"}, out, err), 1);
    EXPECT_EQ(err.str(), "pemblorctl: " + (dir / "no" / "such" / "p.out").string() + ": No such file or directory\n");
    EXPECT_EQ(lines(out.str()).at(0), "result 0");
}

#ifdef PEMBLORCTL_PATH
// The two commands end to end through the real binary.
TEST(ProgramCommands, ConvertThenImage) {
    TempDir dir;
    const Bytes plain = CoffWriter(CoffLayout::k93).add({.address = 0x80, .flags = kSectionCode, .data = pattern(9, 0)}).build();
    writeFile(dir / "prog.out", plain);
    const std::string ctl = std::string(PEMBLORCTL_PATH) + " ";

    auto r = pemblor::testing::runCommand(ctl + "convert " + (dir / "prog.out").string());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, (dir / "prog.IMG").string() + "\n");
    r = pemblor::testing::runCommand(ctl + "image " + (dir / "prog.IMG").string() + " --dump " + (dir / "d").string());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(lines(r.out), (std::vector<std::string>{"result 0", "   0  00000080  00000009  0000003c  section"}));
    EXPECT_EQ(readFile(dir / "d" / "block-0000.bin"), pattern(9, 0));
    r = pemblor::testing::runCommand(ctl + "image " + (dir / "gone.IMG").string());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "result 90\n");
}
#endif

}  // namespace
}  // namespace pemblor::program
