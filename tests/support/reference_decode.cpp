#include "support/reference_decode.hpp"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace pemblor::testing {

ReferenceDecode referenceDecode(std::span<const std::uint8_t> stream) {
    ReferenceDecode out;
    const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
    AVCodecContext* c = avcodec_alloc_context3(codec);
    AVCodecParserContext* parser = av_parser_init(AV_CODEC_ID_H264);
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    // The parser reads a little beyond the bytes it is given.
    std::vector<std::uint8_t> padded(stream.begin(), stream.end());
    padded.resize(stream.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
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
            out.pictures.push_back(std::move(p));
            out.width = w;
            out.height = h;
        }
    };
    const auto send = [&] {
        if (pkt->size <= 0) return;
        if (avcodec_send_packet(c, pkt) < 0) ++out.errors;
        receive();
    };
    if (codec && c && parser && pkt && frame && avcodec_open2(c, codec, nullptr) == 0) {
        const std::uint8_t* data = padded.data();
        int left = static_cast<int>(stream.size());
        while (left > 0) {
            const int used =
                av_parser_parse2(parser, c, &pkt->data, &pkt->size, data, left, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            data += used;
            left -= used;
            send();
        }
        av_parser_parse2(parser, c, &pkt->data, &pkt->size, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        send();
        avcodec_send_packet(c, nullptr);
        receive();
    } else {
        ++out.errors;
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    av_parser_close(parser);
    avcodec_free_context(&c);
    return out;
}

}  // namespace pemblor::testing
