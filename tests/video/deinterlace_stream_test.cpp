#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "picture_generators.hpp"
#include "video/chroma_422_to_420.hpp"
#include "video/deinterlace.hpp"
#include "video/deinterlace_stream.hpp"

namespace pemblor::video {
namespace {

using Bytes = std::vector<std::uint8_t>;

// n pictures of the layout: combed luma, then numbered chroma.
Bytes pictures(int n, int width, int height, PlaneLayout layout) {
    Bytes all;
    for (int i = 0; i < n; ++i) {
        Bytes luma = testing::makePicture(testing::PictureKind::CombingMotion, width, height, 100 + i);
        all.insert(all.end(), luma.begin(), luma.end());
        if (layout == PlaneLayout::Planar422) {
            for (std::size_t k = luma.size(); k < planar422Bytes(width, height); ++k) {
                all.push_back(static_cast<std::uint8_t>(k * 13 + i));
            }
        }
    }
    return all;
}

std::string text(const Bytes& b) {
    return {b.begin(), b.end()};
}

DeinterlaceStreamResult runStream(const Bytes& input, std::string& output, const DeinterlaceStreamOptions& o) {
    std::istringstream in(text(input));
    std::ostringstream out;
    auto result = deinterlaceStream(in, out, o);
    output = out.str();
    return result;
}

TEST(DeinterlaceStream, LumaPlanesOfBothHeights) {
    for (int height : {576, 480}) {
        const Bytes input = pictures(3, 704, height, PlaneLayout::Luma);
        std::string output;
        const auto r = runStream(input, output, {.width = 704, .height = height});
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.pictures, 3u);
        Bytes want = input;
        const std::size_t plane = 704u * height;
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(deinterlace(std::span(want).subspan(i * plane, plane), 704, height, SimdLevel::Scalar));
        }
        EXPECT_EQ(output, text(want));
        EXPECT_NE(output, text(input));
    }
}

TEST(DeinterlaceStream, Planar422PassesChromaThroughOrConvertsIt) {
    constexpr int kH = 480;
    const std::size_t luma = 704u * kH;
    const std::size_t in422 = planar422Bytes(704, kH);
    const Bytes input = pictures(2, 704, kH, PlaneLayout::Planar422);
    for (bool to420 : {false, true}) {
        std::string output;
        const auto r = runStream(input, output, {.height = kH, .layout = PlaneLayout::Planar422, .to420 = to420});
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.pictures, 2u);
        const std::size_t outBytes = to420 ? luma * 3 / 2 : in422;
        ASSERT_EQ(output.size(), 2 * outBytes);
        for (int i = 0; i < 2; ++i) {
            Bytes want(input.begin() + i * in422, input.begin() + (i + 1) * in422);
            ASSERT_TRUE(deinterlace(want, 704, kH, SimdLevel::Scalar));
            if (to420) {
                ASSERT_TRUE(convert422To420(want, 704, kH));
            }
            want.resize(outBytes);
            EXPECT_EQ(output.substr(i * outBytes, outBytes), text(want)) << i;
        }
    }
}

TEST(DeinterlaceStream, InputEndingInsideAPictureIsAnErrorAfterTheWholeOnes) {
    Bytes input = pictures(2, 64, 32, PlaneLayout::Luma);
    input.resize(input.size() + 100, 9);
    std::string output;
    const auto r = runStream(input, output, {.width = 64, .height = 32});
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.pictures, 2u);
    EXPECT_EQ(output.size(), 2u * 64 * 32);
    EXPECT_EQ(r.error, "input ends inside picture 3 (100 of 2048 bytes)");
}

TEST(DeinterlaceStream, EmptyInputWritesNothing) {
    std::string output;
    const auto r = runStream({}, output, {});
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.pictures, 0u);
    EXPECT_TRUE(output.empty());
}

TEST(DeinterlaceStream, RefusesUnusableOptionsBeforeReading) {
    const Bytes input = pictures(1, 704, 576, PlaneLayout::Luma);
    const DeinterlaceStreamOptions bad[] = {
        {.height = 500}, {.height = 8}, {.width = 700}, {.width = 8192}, {.to420 = true},
    };
    for (const auto& o : bad) {
        std::string output;
        const auto r = runStream(input, output, o);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.error.empty());
        EXPECT_TRUE(output.empty());
    }
    EXPECT_EQ(parsePlaneLayout("422"), PlaneLayout::Planar422);
    EXPECT_EQ(parsePlaneLayout("luma"), PlaneLayout::Luma);
    EXPECT_FALSE(parsePlaneLayout("420"));
}

}  // namespace
}  // namespace pemblor::video

namespace pemblor::video {
namespace {

namespace fs = std::filesystem;

class DeinterlaceFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("pemblor_deinterlace_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path write(const std::string& name, const Bytes& bytes) {
        const fs::path p = dir_ / name;
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return p;
    }
    static std::string read(const fs::path& p) {
        std::ifstream f(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(f), {}};
    }
    fs::path dir_;
};

TEST_F(DeinterlaceFile, WritesWhatTheStreamGives) {
    const Bytes input = pictures(2, 704, 480, PlaneLayout::Planar422);
    const fs::path in = write("in.yuv", input);
    const DeinterlaceStreamOptions o{.height = 480, .layout = PlaneLayout::Planar422, .to420 = true};
    const auto r = deinterlaceFile(in, dir_ / "out.yuv", o);
    ASSERT_TRUE(r.ok) << r.error;
    std::string want;
    ASSERT_TRUE(runStream(input, want, o).ok);
    EXPECT_EQ(read(dir_ / "out.yuv"), want);
}

TEST_F(DeinterlaceFile, NeverTruncatesTheInputOrAnOutputItCannotFill) {
    const Bytes input = pictures(1, 704, 576, PlaneLayout::Luma);
    const fs::path in = write("in.yuv", input);
    const auto same = deinterlaceFile(in, dir_ / "." / "in.yuv", {});
    EXPECT_FALSE(same.ok);
    EXPECT_EQ(same.error, "input and output are the same file");
    EXPECT_EQ(read(in), text(input));

    const fs::path kept = write("kept.yuv", {1, 2, 3});
    EXPECT_FALSE(deinterlaceFile(in, kept, {.height = 481}).ok);
    EXPECT_FALSE(deinterlaceFile(dir_ / "missing.yuv", kept, {}).ok);
    EXPECT_EQ(read(kept), text({1, 2, 3}));

    const auto noDir = deinterlaceFile(in, dir_ / "no" / "such" / "dir.yuv", {});
    EXPECT_FALSE(noDir.ok);
    EXPECT_NE(noDir.error.find("dir.yuv: No such file or directory"), std::string::npos) << noDir.error;

    // A folder as input, and an input that ends inside its second picture:
    // the output keeps what it held, and no temporary file is left beside it.
    const auto folder = deinterlaceFile(dir_, kept, {});
    EXPECT_EQ(folder.error, dir_.string() + ": is a folder, not a file");
    Bytes cut = input;
    cut.resize(input.size() + 100);
    EXPECT_FALSE(deinterlaceFile(write("cut.yuv", cut), kept, {}).ok);
    EXPECT_EQ(read(kept), text({1, 2, 3}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), {}), 3);  // in, kept, cut

}

}  // namespace
}  // namespace pemblor::video
