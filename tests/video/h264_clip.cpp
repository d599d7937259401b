#include "video/h264_clip.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sim/h264_encoder.hpp"

extern "C" {
#include <libavcodec/avcodec.h>
}

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
    std::vector<std::vector<std::uint8_t>> out;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecContext* c = avcodec_alloc_context3(codec);
    AVCodecParserContext* parser = av_parser_init(AV_CODEC_ID_H264);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    EXPECT_EQ(avcodec_open2(c, codec, nullptr), 0);
    std::vector<std::uint8_t> padded(bytes);
    padded.resize(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    const auto receive = [&] {
        while (avcodec_receive_frame(c, frame) == 0) {
            const int w = frame->width, h = frame->height;
            std::vector<std::uint8_t> p;
            const auto plane = [&](int index, int pw, int ph) {
                for (int y = 0; y < ph; ++y) {
                    const std::uint8_t* line = frame->data[index] + y * frame->linesize[index];
                    p.insert(p.end(), line, line + pw);
                }
            };
            plane(0, w, h);
            plane(2, w / 2, h / 2);
            plane(1, w / 2, h / 2);
            out.push_back(std::move(p));
        }
    };
    const std::uint8_t* data = padded.data();
    int left = static_cast<int>(bytes.size());
    while (left > 0) {
        const int used =
            av_parser_parse2(parser, c, &pkt->data, &pkt->size, data, left, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        data += used;
        left -= used;
        if (pkt->size > 0 && avcodec_send_packet(c, pkt) == 0) receive();
    }
    av_parser_parse2(parser, c, &pkt->data, &pkt->size, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (pkt->size > 0 && avcodec_send_packet(c, pkt) == 0) receive();
    avcodec_send_packet(c, nullptr);
    receive();
    av_frame_free(&frame);
    av_packet_free(&pkt);
    av_parser_close(parser);
    avcodec_free_context(&c);
    return out;
}

}  // namespace pemblor::video::testing
