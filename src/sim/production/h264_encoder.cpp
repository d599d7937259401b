#include "sim/production/h264_encoder.hpp"

#include <algorithm>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

namespace pemblor::sim {

namespace {

std::string avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

}  // namespace

struct H264Encoder::State {
    AVCodecContext* context = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    ~State() {
        av_packet_free(&packet);
        av_frame_free(&frame);
        avcodec_free_context(&context);
    }
};

H264Encoder::H264Encoder(const H264Settings& settings) : settings_(settings), state_(std::make_unique<State>()) {}

H264Encoder::~H264Encoder() = default;

std::size_t H264Encoder::pictureSize() const {
    const auto w = static_cast<std::size_t>(settings_.width);
    const auto h = static_cast<std::size_t>(settings_.height);
    return w * h + 2 * (w / 2) * (h / 2);
}

std::unique_ptr<H264Encoder> H264Encoder::open(const H264Settings& settings, std::string& error) {
    if (settings.width <= 0 || settings.height <= 0 || settings.width % 2 || settings.height % 2 ||
        settings.fps <= 0 || settings.kbps <= 0 || settings.gop <= 0) {
        error = "bad encoder settings";
        return nullptr;
    }
    // libx264 reports its statistics at the library's default level; the
    // card's encoders are not the operator's business.
    if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_WARNING);
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    if (!codec) {
        error = "this FFmpeg has no libx264 encoder";
        return nullptr;
    }
    std::unique_ptr<H264Encoder> e(new H264Encoder(settings));
    State& s = *e->state_;
    s.context = avcodec_alloc_context3(codec);
    s.frame = av_frame_alloc();
    s.packet = av_packet_alloc();
    if (!s.context || !s.frame || !s.packet) {
        error = "out of memory";
        return nullptr;
    }
    AVCodecContext* c = s.context;
    c->width = settings.width;
    c->height = settings.height;
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->time_base = AVRational{1, settings.fps};
    c->framerate = AVRational{settings.fps, 1};
    c->gop_size = settings.gop;
    c->keyint_min = settings.gop;
    c->max_b_frames = 0;
    c->bit_rate = std::int64_t{settings.kbps} * 1000;
    c->rc_max_rate = c->bit_rate;
    c->rc_buffer_size = static_cast<int>(c->bit_rate / 2);
    c->thread_count = 1;
    av_opt_set(c->priv_data, "preset", settings.preset.c_str(), 0);
    av_opt_set(c->priv_data, "tune", "zerolatency", 0);
    // Fixed GOP: every gop-th picture is an IDR picture, no scene-cut extras.
    av_opt_set(c->priv_data, "x264-params", "scenecut=0:open-gop=0", 0);
    av_opt_set(c->priv_data, "forced-idr", "1", 0);
    if (const int r = avcodec_open2(c, codec, nullptr); r < 0) {
        error = "cannot open libx264: " + avError(r);
        return nullptr;
    }
    s.frame->format = c->pix_fmt;
    s.frame->width = c->width;
    s.frame->height = c->height;
    if (const int r = av_frame_get_buffer(s.frame, 0); r < 0) {
        error = "cannot allocate a picture: " + avError(r);
        return nullptr;
    }
    return e;
}

bool H264Encoder::encode(std::span<const std::uint8_t> yuv420, std::vector<AccessUnit>& out) {
    if (yuv420.size() != pictureSize()) return false;
    State& s = *state_;
    if (av_frame_make_writable(s.frame) < 0) return false;
    const int w = settings_.width, h = settings_.height;
    const std::uint8_t* src = yuv420.data();
    for (int plane = 0; plane < 3; ++plane) {
        const int pw = plane ? w / 2 : w, ph = plane ? h / 2 : h;
        for (int y = 0; y < ph; ++y) {
            std::memcpy(s.frame->data[plane] + static_cast<std::ptrdiff_t>(y) * s.frame->linesize[plane], src,
                        static_cast<std::size_t>(pw));
            src += pw;
        }
    }
    s.frame->pts = next_++;
    // Forced, so that the IDR pictures fall exactly every gop pictures.
    s.frame->pict_type = s.frame->pts % settings_.gop == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
    if (avcodec_send_frame(s.context, s.frame) < 0) return false;
    return drain(out);
}

bool H264Encoder::drain(std::vector<AccessUnit>& out) {
    State& s = *state_;
    for (;;) {
        const int r = avcodec_receive_packet(s.context, s.packet);
        if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
        if (r < 0) return false;
        AccessUnit unit;
        unit.bytes.assign(s.packet->data, s.packet->data + s.packet->size);
        unit.idr = (s.packet->flags & AV_PKT_FLAG_KEY) != 0;
        unit.pictureNumber = s.packet->pts;
        out.push_back(std::move(unit));
        av_packet_unref(s.packet);
    }
}

}  // namespace pemblor::sim
