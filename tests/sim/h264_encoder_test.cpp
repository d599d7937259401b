// The simulated card's encoder: IDR pictures exactly every GOP, each with its
// parameter sets, so libavcodec decodes a stream that starts at any of them.
#include <gtest/gtest.h>

#include <vector>

#include "sim/production/h264_encoder.hpp"
#include "support/reference_decode.hpp"


namespace pemblor::sim {
namespace {

TEST(H264Encoder, IdrEveryGopAndDecodableFromALaterIdr) {
    std::string error;
    auto encoder = H264Encoder::open({176, 144, 25, 256, 10, "ultrafast"}, error);
    ASSERT_TRUE(encoder) << error;
    std::vector<std::uint8_t> picture(encoder->pictureSize());
    std::vector<AccessUnit> units;
    for (int n = 0; n < 30; ++n) {
        for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<std::uint8_t>(i * 7 + n * 3);
        ASSERT_TRUE(encoder->encode(picture, units));
    }
    ASSERT_EQ(units.size(), 30u);
    for (std::size_t i = 0; i < units.size(); ++i) {
        EXPECT_EQ(units[i].idr, i % 10 == 0) << i;
        EXPECT_EQ(units[i].pictureNumber, static_cast<std::int64_t>(i));
    }
    std::vector<std::uint8_t> fromSecondIdr;
    for (std::size_t i = 10; i < units.size(); ++i)
        fromSecondIdr.insert(fromSecondIdr.end(), units[i].bytes.begin(), units[i].bytes.end());
    const testing::ReferenceDecode d = testing::referenceDecode(fromSecondIdr);
    EXPECT_EQ(d.pictures.size(), 20u);
    EXPECT_EQ(d.errors, 0);
    EXPECT_EQ(d.width, 176);
    EXPECT_EQ(d.height, 144);
    EXPECT_FALSE(encoder->encode(std::vector<std::uint8_t>(10), units));
}

}  // namespace
}  // namespace pemblor::sim
