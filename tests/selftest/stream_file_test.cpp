// A stream recording read back as the self-test reads it: pictures counted,
// those from the first IDR picture on decoded but the last (maybe cut short),
// pictures lost between two IDR pictures found by the marked blocks' numbers.
#include <gtest/gtest.h>

#include <fstream>

#include "capture/recording_header.hpp"
#include "driver/little_endian.hpp"
#include "selftest/stream_file.hpp"
#include "sim/production/h264_encoder.hpp"
#include "support/temp_dir.hpp"

namespace pemblor::selftest {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Sixty pictures of 176 x 144, an IDR picture every 25, each after its
// marked block; the pictures for which keep says no are left out, numbers and all.
Bytes recordedPayload(const std::function<bool(int)>& keep) {
    std::string error;
    auto encoder = sim::H264Encoder::open({176, 144, 25, 256, 25, "ultrafast"}, error);
    Bytes picture(encoder->pictureSize());
    std::vector<sim::AccessUnit> units;
    for (int n = 0; n < 60; ++n) {
        for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<std::uint8_t>((i + 5 * n) * 3);
        encoder->encode(picture, units);
    }
    Bytes payload;
    for (const sim::AccessUnit& u : units) {
        const int n = static_cast<int>(u.pictureNumber);
        if (!keep(n)) continue;
        if (u.idr) {
            Bytes marked(16, 0);
            driver::storeU32(marked, 0, 0xF0010000);
            driver::storeU32(marked, 4, static_cast<std::uint32_t>(n));
            payload.insert(payload.end(), marked.begin(), marked.end());
        }
        payload.insert(payload.end(), u.bytes.begin(), u.bytes.end());
    }
    return payload;
}

TEST(StreamFile, CountsDecodesAndFindsLostPictures) {
    const struct {
        const char* what;
        std::function<bool(int)> keep;
        std::size_t cut;  // bytes taken off the end
        int width;
        StreamFileFacts want;
    } cases[] = {
        {"whole", [](int) { return true; }, 0, 176, {true, true, 0, 60, 59, 59, 0, 0}},
        {"starts within a group", [](int n) { return n >= 10; }, 0, 176, {true, true, 0, 50, 34, 34, 0, 0}},
        {"pictures 30 to 33 lost", [](int n) { return n < 30 || n > 33; }, 0, 176, {true, true, 0, 56, 55, 0, 0, 4}},
        {"the last picture cut short", [](int) { return true; }, 40, 176, {true, true, 0, 60, 59, 59, 0, 0}},
        {"another size expected", [](int) { return true; }, 0, 352, {true, true, 0, 60, 59, 59, 59, 0}},
    };
    pemblor::testing::TempDir dir;
    for (const auto& c : cases) {
        Bytes payload = recordedPayload(c.keep);
        payload.resize(payload.size() - c.cut);
        capture::RecordingHeader header{1};
        header.endTime = 2;
        std::ofstream(dir / "EVDATA0004.264", std::ios::binary)
                .write(reinterpret_cast<const char*>(header.bytes().data()), capture::kRecordingHeaderSize)
            << std::string(payload.begin(), payload.end());
        video::FfmpegDecoders decoders;
        const StreamFileFacts f = readStreamFile(dir / "EVDATA0004.264", c.width, 144, decoders, nullptr);
        EXPECT_TRUE(f.read) << c.what;
        EXPECT_TRUE(f.finished) << c.what;
        EXPECT_EQ(f.payloadBytes, payload.size()) << c.what;
        EXPECT_EQ(f.pictures, c.want.pictures) << c.what;
        EXPECT_EQ(f.decodable, c.want.decodable) << c.what;
        // A lost picture leaves its successors without their reference: the
        // decoder may hide that, so only the count of lost ones is exact.
        if (c.want.missing == 0) {
            EXPECT_EQ(f.decoded, c.want.decoded) << c.what;
        }
        EXPECT_EQ(f.wrongSize, c.want.wrongSize) << c.what;
        EXPECT_EQ(f.missing, c.want.missing) << c.what;
    }
}

}  // namespace
}  // namespace pemblor::selftest
