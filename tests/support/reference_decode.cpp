#include "support/reference_decode.hpp"

#include <functional>
#include <string_view>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace pemblor::testing {

namespace {

// Planar 4:2:0 as the render ports take it: luma, red-, blue-difference.
std::vector<std::uint8_t> planes(const AVFrame* frame) {
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
    return p;
}

}  // namespace

std::vector<std::size_t> digests(const std::vector<std::vector<std::uint8_t>>& pictures) {
    std::vector<std::size_t> d;
    for (const auto& p : pictures)
        d.push_back(std::hash<std::string_view>{}({reinterpret_cast<const char*>(p.data()), p.size()}));
    return d;
}

ContainerDecode decodeContainer(const char* path) {
    ContainerDecode out;
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path, nullptr, nullptr) < 0) return out;
    out.opened = avformat_find_stream_info(fmt, nullptr) >= 0 && fmt->nb_streams == 1;
    const AVCodec* codec = out.opened ? avcodec_find_decoder(fmt->streams[0]->codecpar->codec_id) : nullptr;
    AVCodecContext* c = codec ? avcodec_alloc_context3(codec) : nullptr;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    const auto receive = [&] {
        while (avcodec_receive_frame(c, frame) == 0) {
            out.decoded.pictures.push_back(planes(frame));
            out.decoded.width = frame->width;
            out.decoded.height = frame->height;
            out.shownAt.push_back(frame->best_effort_timestamp);
        }
    };
    if (c && pkt && frame && avcodec_parameters_to_context(c, fmt->streams[0]->codecpar) >= 0 &&
        avcodec_open2(c, codec, nullptr) == 0) {
        for (; av_read_frame(fmt, pkt) >= 0; av_packet_unref(pkt)) {
            ++out.packets;
            if (pkt->flags & AV_PKT_FLAG_KEY) ++out.keys;
            if (avcodec_send_packet(c, pkt) < 0) ++out.decoded.errors;
            receive();
        }
        avcodec_send_packet(c, nullptr);
        receive();
    }
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&c);
    avformat_close_input(&fmt);
    return out;
}

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
            out.pictures.push_back(planes(frame));
            out.width = frame->width;
            out.height = frame->height;
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
