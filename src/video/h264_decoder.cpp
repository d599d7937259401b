// The FFmpeg decoder behind DecoderFactory: writes go into a bounded queue,
// one thread of its own cuts them into access units with libavcodec's H.264
// parser, decodes them and hands each picture to the handler, laid out as one
// block in the render ports' plane order.
#include <pthread.h>

#include <cstdarg>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

#include "video/chunk_queue.hpp"
#include "video/decoder.hpp"

namespace pemblor::video {

namespace {

constexpr std::uint32_t kMaxQueueDepth = 1024;
constexpr std::uint32_t kMaxThreads = 16;

// Owners of FFmpeg objects.
struct CodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct ParserFree {
    void operator()(AVCodecParserContext* p) const { av_parser_close(p); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScaleFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};

bool plain420(int format) { return format == AV_PIX_FMT_YUV420P || format == AV_PIX_FMT_YUVJ420P; }

// A decoder that joins a live stream between two IDR pictures, or loses a
// write, complains about every picture until the next IDR picture; the card's
// marked blocks look like broken units to it. None of that is news to the
// operator, so decoders' messages are dropped; everything else goes on.
void quietDecoders(void* context, int level, const char* format, va_list args) {
    if (context && level > AV_LOG_FATAL) {
        const AVClass* cls = *static_cast<const AVClass* const*>(context);
        const AVClassCategory category = cls && cls->get_category ? cls->get_category(context)
                                         : cls                    ? cls->category
                                                                  : AV_CLASS_CATEGORY_NA;
        if (category == AV_CLASS_CATEGORY_DECODER) return;
    }
    av_log_default_callback(context, level, format, args);
}

class H264Decoder final : public Decoder {
public:
    explicit H264Decoder(const DecodeOption& option)
        : handler_(option.handler), queue_(option.queueDepth, kMaxDecoderWrite, AV_INPUT_BUFFER_PADDING_SIZE) {}

    ~H264Decoder() override { stop(); }

    bool open(const DecodeOption& option) {
        const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
        if (!codec) return false;
        context_.reset(avcodec_alloc_context3(codec));
        parser_.reset(av_parser_init(AV_CODEC_ID_H264));
        frame_.reset(av_frame_alloc());
        packet_.reset(av_packet_alloc());
        if (!context_ || !parser_ || !frame_ || !packet_) return false;
        context_->thread_count = static_cast<int>(option.threads);
        if (option.lowDelay) context_->flags |= AV_CODEC_FLAG_LOW_DELAY;
        return avcodec_open2(context_.get(), codec, nullptr) >= 0;
    }

    int start() override {
        if (thread_.joinable()) return -1;
        queue_.reopen();
        number_ = 0;
        try {
            thread_ = std::thread([this] { run(); });
        } catch (const std::system_error&) {
            return -1;
        }
        return 0;
    }

    int write(std::span<const std::uint8_t> bytes, bool flush) override {
        if (!thread_.joinable()) return -1;
        return queue_.push(bytes, flush) ? static_cast<int>(bytes.size()) : -1;
    }

    int finish() override {
        if (!thread_.joinable()) return -1;
        // The flush chunk needs a free slot: the reader frees one as it decodes.
        queue_.waitUntilEmpty();
        if (!queue_.push({}, true)) return -1;
        queue_.waitUntilEmpty();
        return stop();
    }

    int stop() override {
        if (!thread_.joinable()) return 0;
        queue_.close();
        thread_.join();
        return 0;
    }

private:
    void run() {
        pthread_setname_np(pthread_self(), "decoder");
        while (const auto chunk = queue_.front()) {
            decodeChunk(*chunk);
            queue_.pop();
        }
    }

    void decodeChunk(const ChunkQueue::Chunk& chunk) {
        const std::uint8_t* data = chunk.bytes.data();
        int left = static_cast<int>(chunk.bytes.size());
        // An empty write adds nothing; to the parser, no bytes would mean the end.
        while (left > 0) {
            std::uint8_t* unit = nullptr;
            int unitSize = 0;
            const int used = av_parser_parse2(parser_.get(), context_.get(), &unit, &unitSize, data, left,
                                              AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
            // A parser that neither takes bytes nor gives a unit would loop forever.
            if (used < 0 || (used == 0 && unitSize == 0)) return;
            data += used;
            left -= used;
            if (unitSize > 0) decodeUnit(unit, unitSize);
        }
        if (chunk.flush) flushAll();
    }

    void flushAll() {
        std::uint8_t* unit = nullptr;
        int unitSize = 0;
        av_parser_parse2(parser_.get(), context_.get(), &unit, &unitSize, nullptr, 0, AV_NOPTS_VALUE, AV_NOPTS_VALUE,
                         0);
        if (unitSize > 0) decodeUnit(unit, unitSize);
        // Drain the decoder, then make it take new data again.
        if (avcodec_send_packet(context_.get(), nullptr) >= 0) receivePictures();
        avcodec_flush_buffers(context_.get());
    }

    void decodeUnit(std::uint8_t* unit, int size) {
        // The parser's output is padded as the decoder needs it.
        packet_->data = unit;
        packet_->size = size;
        const int sent = avcodec_send_packet(context_.get(), packet_.get());
        packet_->data = nullptr;
        packet_->size = 0;
        // A damaged unit is skipped; the stream goes on with the next one.
        if (sent >= 0 || sent == AVERROR(EAGAIN)) receivePictures();
    }

    void receivePictures() {
        while (avcodec_receive_frame(context_.get(), frame_.get()) >= 0) {
            deliver(*frame_);
            av_frame_unref(frame_.get());
        }
    }

    void deliver(const AVFrame& frame) {
        const int w = frame.width;
        const int h = frame.height;
        if (w <= 0 || h <= 0) return;
        if (w != width_ || h != height_) {
            width_ = w;
            height_ = h;
            // The only allocation: when the picture size changes.
            picture_ = std::make_unique_for_overwrite<std::uint8_t[]>(static_cast<std::size_t>(w) * h +
                                                                     2 * static_cast<std::size_t>(w / 2) * (h / 2));
            call(nullptr, 0, kSizeNotice, frame);
        }
        const bool laidOut = layOut(frame);
        const bool whole = (frame.flags & AV_FRAME_FLAG_CORRUPT) == 0 && frame.decode_error_flags == 0;
        // Odd sizes have no w/2 x h/2 chroma planes to show.
        const bool even = w % 2 == 0 && h % 2 == 0;
        call(picture_.get(), laidOut && whole && even ? 1 : 0, kDecodedPicture, frame);
        ++number_;
    }

    void call(const std::uint8_t* picture, std::uint32_t show, std::uint32_t kind, const AVFrame& frame) {
        if (!handler_) return;
        handler_(number_, picture, show, kind, static_cast<std::uint32_t>(frame.width),
                 static_cast<std::uint32_t>(frame.height), static_cast<std::uint32_t>(frame.pict_type));
    }

    // Copies the picture into picture_: luma, then the red- and the
    // blue-difference planes. Other sampling than 4:2:0 is converted.
    bool layOut(const AVFrame& frame) {
        const std::size_t w = static_cast<std::size_t>(frame.width);
        const std::size_t h = static_cast<std::size_t>(frame.height);
        std::uint8_t* luma = picture_.get();
        std::uint8_t* red = luma + w * h;
        std::uint8_t* blue = red + (w / 2) * (h / 2);
        if (!plain420(frame.format)) return convert(frame, luma, red, blue);
        copyPlane(luma, w, frame.data[0], frame.linesize[0], w, h);
        copyPlane(red, w / 2, frame.data[2], frame.linesize[2], w / 2, h / 2);
        copyPlane(blue, w / 2, frame.data[1], frame.linesize[1], w / 2, h / 2);
        return true;
    }

    static void copyPlane(std::uint8_t* to, std::size_t stride, const std::uint8_t* from, int fromStride,
                          std::size_t width, std::size_t lines) {
        for (std::size_t y = 0; y < lines; ++y) {
            std::memcpy(to + y * stride, from + static_cast<std::ptrdiff_t>(y) * fromStride, width);
        }
    }

    bool convert(const AVFrame& frame, std::uint8_t* luma, std::uint8_t* red, std::uint8_t* blue) {
        const int w = frame.width;
        const int h = frame.height;
        SwsContext* s = sws_getCachedContext(scale_.release(), w, h, static_cast<AVPixelFormat>(frame.format), w, h,
                                             AV_PIX_FMT_YUV420P, SWS_POINT, nullptr, nullptr, nullptr);
        scale_.reset(s);
        if (!s) return false;
        std::uint8_t* planes[4] = {luma, blue, red, nullptr};
        const int strides[4] = {w, w / 2, w / 2, 0};
        return sws_scale(s, frame.data, frame.linesize, 0, h, planes, strides) == h;
    }

    PictureHandler handler_;
    ChunkQueue queue_;
    std::unique_ptr<AVCodecContext, CodecContextFree> context_;
    std::unique_ptr<AVCodecParserContext, ParserFree> parser_;
    std::unique_ptr<AVFrame, FrameFree> frame_;
    std::unique_ptr<AVPacket, PacketFree> packet_;
    std::unique_ptr<SwsContext, ScaleFree> scale_;
    std::unique_ptr<std::uint8_t[]> picture_;  // the picture as handed out, filled anew each time
    int width_ = 0;
    int height_ = 0;
    std::uint32_t number_ = 0;
    std::thread thread_;
};

}  // namespace

int FfmpegDecoders::open(const DecodeOption& option, std::unique_ptr<Decoder>& handle) {
    static std::once_flag quiet;
    std::call_once(quiet, [] { av_log_set_callback(quietDecoders); });
    handle.reset();
    if (option.format != kH264ByteStream || option.queueDepth == 0 || option.queueDepth > kMaxQueueDepth ||
        option.threads == 0 || option.threads > kMaxThreads) {
        return -1;
    }
    auto decoder = std::make_unique<H264Decoder>(option);
    if (!decoder->open(option)) return -1;
    handle = std::move(decoder);
    return 0;
}

}  // namespace pemblor::video
