#include "support/test_streams.hpp"

#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
}

#include "recording/access_units.hpp"

namespace pemblor::testing {

Bytes encodeX264(int width, int height, int pictures, int fps, const std::string& x264params) {
    Bytes out;
    const AVCodec* codec = avcodec_find_encoder_by_name("libx264");
    AVCodecContext* c = codec ? avcodec_alloc_context3(codec) : nullptr;
    AVFrame* frame = av_frame_alloc();
    AVPacket* pkt = av_packet_alloc();
    const auto drain = [&] {
        while (avcodec_receive_packet(c, pkt) == 0) {
            out.insert(out.end(), pkt->data, pkt->data + pkt->size);
            av_packet_unref(pkt);
        }
    };
    av_log_set_level(AV_LOG_ERROR);  // libx264's statistics
    if (c && frame && pkt) {
        c->width = width;
        c->height = height;
        c->pix_fmt = AV_PIX_FMT_YUV420P;
        c->time_base = {1, fps};
        c->framerate = {fps, 1};
        c->thread_count = 1;
        av_opt_set(c->priv_data, "preset", "ultrafast", 0);
        av_opt_set(c->priv_data, "x264-params", ("scenecut=0:" + x264params).c_str(), 0);
        frame->format = AV_PIX_FMT_YUV420P;
        frame->width = width;
        frame->height = height;
        if (avcodec_open2(c, codec, nullptr) == 0 && av_frame_get_buffer(frame, 0) == 0) {
            for (int n = 0; n < pictures; ++n) {
                av_frame_make_writable(frame);
                // Bands that move with every picture, and a box that sweeps.
                for (int p = 0; p < 3; ++p) {
                    const int w = p ? width / 2 : width, h = p ? height / 2 : height;
                    for (int y = 0; y < h; ++y)
                        for (int x = 0; x < w; ++x)
                            frame->data[p][y * frame->linesize[p] + x] = static_cast<std::uint8_t>(
                                p ? 100 + (x * 3 + n * (p + 1)) % 60
                                  : ((x > (n * 5) % w && x < (n * 5) % w + 12) ? 230 : 20 + (x + 2 * y + 7 * n) % 180));
                }
                frame->pts = n;
                if (avcodec_send_frame(c, frame) == 0) drain();
            }
            avcodec_send_frame(c, nullptr);
            drain();
        }
    }
    EXPECT_FALSE(out.empty()) << "libx264 gave nothing for " << x264params;
    av_packet_free(&pkt);
    av_frame_free(&frame);
    avcodec_free_context(&c);
    return out;
}

namespace {

class BitWriter {
public:
    void u(std::uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) bit((value >> i) & 1);
    }
    void ue(std::uint32_t value) {
        const std::uint32_t v = value + 1;
        int bits = 0;
        while ((v >> bits) > 1) ++bits;
        u(0, bits);
        u(v, bits + 1);
    }
    void se(std::int32_t value) { ue(value > 0 ? 2 * static_cast<std::uint32_t>(value) - 1 : 2 * static_cast<std::uint32_t>(-value)); }
    void align() {
        while (fill_ != 0) bit(0);
    }
    void trailing() {
        bit(1);
        align();
    }
    void byte(std::uint8_t b) { u(b, 8); }
    // The unit with its start code, emulation prevention inserted.
    Bytes nal(std::uint8_t header) const {
        Bytes out = {0, 0, 0, 1, header};
        int zeros = 0;
        for (std::uint8_t b : bytes_) {
            if (zeros >= 2 && b <= 3) {
                out.push_back(3);
                zeros = 0;
            }
            out.push_back(b);
            zeros = b == 0 ? zeros + 1 : 0;
        }
        return out;
    }

private:
    void bit(std::uint32_t b) {
        if (fill_ == 0) bytes_.push_back(0);
        if (b) bytes_.back() |= static_cast<std::uint8_t>(0x80 >> fill_);
        fill_ = (fill_ + 1) % 8;
    }
    Bytes bytes_;
    int fill_ = 0;
};

constexpr int kSize = 32;  // 2 x 2 macroblocks a frame, 2 x 1 a field

Bytes sps(int pocType, bool timing) {
    BitWriter w;
    w.u(77, 8);  // Main: fields and B slices
    w.u(0, 8);
    w.u(30, 8);
    w.ue(0);
    w.ue(0);  // frame_num: 4 bits
    w.ue(static_cast<std::uint32_t>(pocType));
    if (pocType == 0) {
        w.ue(2);  // 6-bit lsb
    } else {
        w.u(0, 1);   // deltas present
        w.se(-4);    // non-reference pictures: two frames before the next reference
        w.se(1);     // bottom field after the top
        w.ue(1);
        w.se(6);     // three frames a reference
    }
    w.ue(2);  // two reference frames
    w.u(0, 1);
    w.ue(kSize / 16 - 1);
    w.ue(kSize / 32 - 1);  // map units are macroblock pairs
    w.u(0, 1);             // not frames only
    w.u(0, 1);             // no MBAFF
    w.u(1, 1);             // direct_8x8_inference
    w.u(0, 1);             // no cropping
    w.u(timing ? 1 : 0, 1);
    if (timing) {
        w.u(0, 4);  // aspect ratio, overscan, video signal, chroma location
        w.u(1, 1);
        w.u(1, 32);
        w.u(50, 32);
        w.u(1, 1);
        w.u(0, 3);  // no HRD, no pic_struct
        w.u(1, 1);  // bitstream restriction
        w.u(1, 1);
        w.ue(0);
        w.ue(0);
        w.ue(16);
        w.ue(16);
        w.ue(1);  // one picture held back
        w.ue(2);
    }
    w.trailing();
    return w.nal(0x67);
}

Bytes pps() {
    BitWriter w;
    w.ue(0);
    w.ue(0);
    w.u(0, 2);  // CAVLC, no bottom field order in frames
    w.ue(0);
    w.ue(0);
    w.ue(0);
    w.u(0, 3);  // no weights
    w.se(0);
    w.se(0);
    w.se(0);
    w.u(0, 3);
    w.trailing();
    return w.nal(0x68);
}

struct Field {
    int frame;        // in showing order
    char type;        // 'I', 'P' or 'B'
    bool bottom;
    bool idr;
    std::uint32_t frameNum;
    bool reference;
};

Bytes slice(const Field& f, int pocType, int idrId) {
    BitWriter w;
    w.ue(0);
    w.ue(f.type == 'I' ? 7 : f.type == 'P' ? 5 : 6);
    w.ue(0);
    w.u(f.frameNum, 4);
    w.u(1, 1);  // a field
    w.u(f.bottom ? 1 : 0, 1);
    if (f.idr) w.ue(static_cast<std::uint32_t>(idrId));
    const int order = 2 * f.frame + (f.bottom ? 1 : 0);
    if (pocType == 0) w.u(static_cast<std::uint32_t>(order) % 64, 6);
    if (pocType == 1) w.se(f.type == 'B' ? 2 * ((f.frame % 3) - 1) : 0);  // B: frames 3k+1, 3k+2
    if (f.type == 'B') w.u(1, 1);  // spatial direct
    if (f.type != 'I') w.u(0, 1);  // default reference counts
    if (f.type != 'I') w.u(0, 1);  // no list modification
    if (f.type == 'B') w.u(0, 1);
    if (f.reference) {
        if (f.idr)
            w.u(0, 2);
        else
            w.u(0, 1);  // sliding window
    }
    w.se(0);  // slice_qp_delta
    const std::uint32_t pcm = f.type == 'I' ? 25 : f.type == 'P' ? 30 : 48;
    for (int mb = 0; mb < kSize / 16; ++mb) {
        if (f.type != 'I') w.ue(0);  // mb_skip_run
        w.ue(pcm);
        w.align();
        for (int i = 0; i < 384; ++i) w.byte(static_cast<std::uint8_t>(16 + (f.frame * 37 + i * 3 + mb * 11 + f.bottom * 90) % 200));
    }
    w.trailing();
    const int type = f.idr ? 5 : 1;
    return w.nal(static_cast<std::uint8_t>((f.reference ? 0x60 : 0) | type));
}

}  // namespace

Bytes pcmFieldStream(int pictures, int pocType, bool timing) {
    Bytes out = sps(pocType, timing);
    const Bytes p = pps();
    out.insert(out.end(), p.begin(), p.end());
    // Decoding order: I0, P3, B1, B2, P6, B4, B5, ... ; frame_num counts references.
    std::vector<Field> fields;
    std::uint32_t frameNum = 0;
    const auto frame = [&](int n, char type) {
        if (n >= pictures) return;
        const bool reference = type != 'B';
        for (const bool bottom : {false, true}) fields.push_back({n, type, bottom, n == 0 && !bottom, frameNum, reference});
        if (reference) frameNum = (frameNum + 1) % 16;
    };
    frame(0, 'I');
    for (int n = 3; n - 2 < pictures; n += 3) {
        frame(n, 'P');
        frame(n - 2, 'B');
        frame(n - 1, 'B');
    }
    for (const Field& f : fields) {
        const Bytes s = slice(f, pocType, 0);
        out.insert(out.end(), s.begin(), s.end());
    }
    return out;
}

Bytes fromAccessUnit(const Bytes& stream, std::size_t first) {
    Bytes out;
    std::size_t index = 0;
    recording::AccessUnitSplitter units([&](recording::AccessUnit& u) {
        if (index++ >= first) out.insert(out.end(), u.bytes.begin(), u.bytes.end());
    });
    units.push(stream);
    units.finish();
    return out;
}

}  // namespace pemblor::testing
