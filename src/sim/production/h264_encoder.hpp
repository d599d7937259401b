#pragma once
// H.264 encoding for the simulated card's streams: planar 4:2:0 pictures in,
// access units out (Annex B byte stream, SPS and PPS before every IDR picture
// so that a decoder may start at any of them). libx264 through libavcodec,
// one thread, no B pictures and no look-ahead: one access unit per picture,
// at once.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace pemblor::sim {

struct AccessUnit {
    std::vector<std::uint8_t> bytes;
    bool idr = false;
    std::int64_t pictureNumber = 0;
};

struct H264Settings {
    int width = 352;
    int height = 288;
    int fps = 25;
    int kbps = 1024;
    int gop = 25;            // pictures from one IDR picture to the next
    std::string preset = "veryfast";
};

class H264Encoder {
public:
    // Null, with the reason in error, when the encoder cannot be opened.
    static std::unique_ptr<H264Encoder> open(const H264Settings& settings, std::string& error);
    ~H264Encoder();
    H264Encoder(const H264Encoder&) = delete;
    H264Encoder& operator=(const H264Encoder&) = delete;

    const H264Settings& settings() const { return settings_; }
    // Bytes of one 4:2:0 picture: width x height luma, then two quarter planes.
    std::size_t pictureSize() const;

    // Encodes the next picture (pictureSize() bytes) and appends what the
    // encoder gave back. False on an encoder error or a picture of the wrong size.
    bool encode(std::span<const std::uint8_t> yuv420, std::vector<AccessUnit>& out);

private:
    struct State;
    explicit H264Encoder(const H264Settings& settings);
    bool drain(std::vector<AccessUnit>& out);

    H264Settings settings_;
    std::unique_ptr<State> state_;
    std::int64_t next_ = 0;
};

}  // namespace pemblor::sim
