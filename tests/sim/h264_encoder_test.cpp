// The simulated card's encoder: IDR pictures exactly every GOP, each with its
// parameter sets, so libavcodec decodes a stream that starts at any of them.
#include <gtest/gtest.h>

#include <vector>

#include "sim/h264_encoder.hpp"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace pemblor::sim {
namespace {

// Decodes the bytes with libavcodec; returns the number of pictures.
int decodedPictures(const std::vector<std::uint8_t>& stream, int& width, int& height) {
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecContext* c = avcodec_alloc_context3(codec);
    AVCodecParserContext* parser = av_parser_init(AV_CODEC_ID_H264);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    EXPECT_EQ(avcodec_open2(c, codec, nullptr), 0);
    std::vector<std::uint8_t> padded(stream);
    padded.resize(stream.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    int pictures = 0;
    auto receive = [&] {
        while (avcodec_receive_frame(c, frame) == 0) {
            ++pictures;
            width = frame->width;
            height = frame->height;
        }
    };
    const std::uint8_t* data = padded.data();
    int left = static_cast<int>(stream.size());
    while (left > 0) {
        const int used = av_parser_parse2(parser, c, &pkt->data, &pkt->size, data, left, AV_NOPTS_VALUE,
                                          AV_NOPTS_VALUE, 0);
        data += used;
        left -= used;
        if (pkt->size > 0 && avcodec_send_packet(c, pkt) == 0) receive();
    }
    av_parser_parse2(parser, c, &pkt->data, &pkt->size, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
    if (pkt->size > 0) avcodec_send_packet(c, pkt);
    avcodec_send_packet(c, nullptr);
    receive();
    av_frame_free(&frame);
    av_packet_free(&pkt);
    av_parser_close(parser);
    avcodec_free_context(&c);
    return pictures;
}

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
    int w = 0, h = 0;
    EXPECT_EQ(decodedPictures(fromSecondIdr, w, h), 20);
    EXPECT_EQ(w, 176);
    EXPECT_EQ(h, 144);
    EXPECT_FALSE(encoder->encode(std::vector<std::uint8_t>(10), units));
}

}  // namespace
}  // namespace pemblor::sim
