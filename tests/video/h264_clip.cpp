#include "video/h264_clip.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sim/production/h264_encoder.hpp"
#include "support/reference_decode.hpp"


namespace pemblor::video::testing {

Clip encodeClip(int width, int height, int pictures, int gop) {
    Clip clip{width, height, {}, {}};
    std::string error;
    auto encoder = sim::H264Encoder::open({width, height, 25, 800, gop, "ultrafast"}, error);
    EXPECT_TRUE(encoder) << error;
    if (!encoder) return clip;
    std::vector<std::uint8_t> picture(encoder->pictureSize());
    std::vector<sim::AccessUnit> units;
    const std::size_t luma = static_cast<std::size_t>(width) * height;
    for (int n = 0; n < pictures; ++n) {
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const bool box = x >= 3 * n % width && x < 3 * n % width + 40 && y >= 20 && y < 80;
                picture[y * width + x] = static_cast<std::uint8_t>(box ? 235 : 16 + (x + 2 * y + n) % 200);
            }
        }
        for (std::size_t i = luma; i < picture.size(); ++i) picture[i] = static_cast<std::uint8_t>(90 + (i + n) % 60);
        EXPECT_TRUE(encoder->encode(picture, units));
    }
    for (const sim::AccessUnit& unit : units) {
        clip.bytes.insert(clip.bytes.end(), unit.bytes.begin(), unit.bytes.end());
        clip.unitSizes.push_back(unit.bytes.size());
    }
    return clip;
}

std::vector<std::vector<std::uint8_t>> referenceDecode(const std::vector<std::uint8_t>& bytes) {
    return pemblor::testing::referenceDecode(bytes).pictures;
}

}  // namespace pemblor::video::testing
