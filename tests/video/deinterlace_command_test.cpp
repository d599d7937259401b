// pemblorctl deinterlace end to end, when the tool is built.
#include <gtest/gtest.h>

#ifdef PEMBLORCTL_PATH
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "picture_generators.hpp"
#include "video/chroma_422_to_420.hpp"
#include "video/deinterlace.hpp"

namespace pemblor::video {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

std::string read(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), {}};
}

int run(const std::string& arguments, const fs::path& log) {
    const std::string command = std::string(PEMBLORCTL_PATH) + " " + arguments + " >" + log.string() + " 2>&1";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(DeinterlaceCommand, BothHeightsAndBothLayouts) {
    const fs::path dir = fs::temp_directory_path() / ("pemblorctl_deinterlace_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    for (int height : {576, 480}) {
        for (bool planar : {false, true}) {
            for (bool to420 : {false, true}) {
                if (to420 && !planar) continue;
                SCOPED_TRACE(std::to_string(height) + (planar ? " 422" : " luma") + (to420 ? " to420" : ""));
                const std::size_t luma = 704u * height;
                const std::size_t in = planar ? planar422Bytes(704, height) : luma;
                Bytes input;
                for (int i = 0; i < 2; ++i) {
                    Bytes p = testing::makePicture(testing::PictureKind::CombingMotion, 704, height, 40 + i);
                    p.resize(in, static_cast<std::uint8_t>(17 * i + 3));
                    input.insert(input.end(), p.begin(), p.end());
                }
                std::ofstream(dir / "in.yuv", std::ios::binary)
                    .write(reinterpret_cast<const char*>(input.data()), input.size());
                std::string args = "deinterlace " + (dir / "in.yuv").string() + " " + (dir / "out.yuv").string() +
                                   " --height " + std::to_string(height) + " --planes " + (planar ? "422" : "luma");
                if (to420) args += " --to420";
                ASSERT_EQ(run(args, dir / "log.txt"), 0) << read(dir / "log.txt");
                EXPECT_EQ(read(dir / "log.txt"), "deinterlaced 2 pictures of 704 x " + std::to_string(height) + " (" +
                                                     (planar ? "422" : "luma") + (to420 ? " to 420" : "") + ", " +
                                                     std::string(simdLevelName(bestSimdLevel())) + ")\n");
                std::string want;
                for (int i = 0; i < 2; ++i) {
                    Bytes p(input.begin() + i * in, input.begin() + (i + 1) * in);
                    ASSERT_TRUE(deinterlace(p, 704, height, SimdLevel::Scalar));
                    if (to420) {
                        ASSERT_TRUE(convert422To420(p, 704, height));
                        p.resize(planar420Bytes(704, height));
                    }
                    want.append(p.begin(), p.end());
                }
                EXPECT_EQ(read(dir / "out.yuv"), want);
            }
        }
    }
    EXPECT_EQ(run("deinterlace " + (dir / "in.yuv").string() + " " + (dir / "x.yuv").string() + " --height 500",
                  dir / "log.txt"),
              2);
    EXPECT_EQ(read(dir / "log.txt"), "pemblorctl: deinterlace: height must be a multiple of 8 from 16 to 4096\n");
    fs::remove_all(dir);
}

}  // namespace
}  // namespace pemblor::video
#endif
