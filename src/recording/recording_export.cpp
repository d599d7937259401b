// pemblorctl recording export: a recording's stream, picture for picture,
// in an MP4 or Matroska file. The pictures go in as they are (no
// re-encoding), length-prefixed as the containers keep H.264, so the muxer
// copies them without a second scan; each carries its showing time.
#include <algorithm>
#include <cctype>
#include <system_error>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

#include "common/replacing_file.hpp"
#include "recording/recording_tools.hpp"

namespace pemblor::recording {

namespace {

constexpr std::uint32_t kDefaultRate = 25;

void putU16(std::vector<std::uint8_t>& out, std::size_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

// The AVC decoder configuration record, what MP4 and Matroska keep as an
// H.264 stream's extra data: every parameter set seen so far, 4-byte lengths.
std::vector<std::uint8_t> avcConfiguration(const AccessUnitSplitter& units, const Sps& first) {
    std::vector<std::span<const std::uint8_t>> sps, pps;
    for (int id = 0; id < kMaxSpsCount; ++id)
        if (const auto u = units.spsUnit(id); u.size() >= 4 && u.size() <= 0xFFFF) sps.push_back(u);
    for (int id = 0; id < kMaxPpsCount; ++id)
        if (const auto u = units.ppsUnit(id); !u.empty() && u.size() <= 0xFFFF) pps.push_back(u);
    std::vector<std::uint8_t> c = {1, static_cast<std::uint8_t>(first.profile), static_cast<std::uint8_t>(first.constraints),
                                   static_cast<std::uint8_t>(first.level), 0xFF,
                                   static_cast<std::uint8_t>(0xE0 | std::min<std::size_t>(sps.size(), 31))};
    for (std::size_t i = 0; i < sps.size() && i < 31; ++i) {
        putU16(c, sps[i].size());
        c.insert(c.end(), sps[i].begin(), sps[i].end());
    }
    c.push_back(static_cast<std::uint8_t>(std::min<std::size_t>(pps.size(), 255)));
    for (std::size_t i = 0; i < pps.size() && i < 255; ++i) {
        putU16(c, pps[i].size());
        c.insert(c.end(), pps[i].begin(), pps[i].end());
    }
    if (first.profile == 100 || first.profile == 110 || first.profile == 122 || first.profile == 144) {
        c.push_back(static_cast<std::uint8_t>(0xFC | first.chromaFormat));
        c.push_back(static_cast<std::uint8_t>(0xF8 | (first.bitDepthLuma - 8)));
        c.push_back(static_cast<std::uint8_t>(0xF8 | (first.bitDepthChroma - 8)));
        c.push_back(0);
    }
    return c;
}

std::string reasonOf(const common::ReplacingFile& f) { return std::system_category().message(f.error()); }

std::string avText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

// Writes pictures into a container under a temporary name, which replaces
// the output only when the file is whole.
class Remuxer {
public:
    Remuxer(const std::filesystem::path& output, std::ostream& err) : output_(output), err_(err) {}
    ~Remuxer() { close(); }
    Remuxer(const Remuxer&) = delete;
    Remuxer& operator=(const Remuxer&) = delete;

    bool open(AVRational rate, int width, int height, const std::vector<std::uint8_t>& config) {
        opened_ = true;
        rate_ = rate;
        if (!file_.open(output_)) return fail(output_.string() + ": can't be created: " + reasonOf(file_));
        if (avformat_alloc_output_context2(&context_, nullptr, nullptr, output_.c_str()) < 0 || !context_)
            return fail(output_.string() + ": no container for this name");
        AVStream* stream = avformat_new_stream(context_, nullptr);
        packet_ = av_packet_alloc();
        if (!stream || !packet_) return fail("out of memory");
        stream->time_base = {rate.den, rate.num};
        stream->avg_frame_rate = stream->r_frame_rate = rate;
        AVCodecParameters* par = stream->codecpar;
        par->codec_type = AVMEDIA_TYPE_VIDEO;
        par->codec_id = AV_CODEC_ID_H264;
        par->width = width;
        par->height = height;
        par->extradata = static_cast<std::uint8_t*>(av_mallocz(config.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!par->extradata) return fail("out of memory");
        std::copy(config.begin(), config.end(), par->extradata);
        par->extradata_size = static_cast<int>(config.size());
        if (int r = avio_open(&context_->pb, file_.temporaryPath().c_str(), AVIO_FLAG_WRITE); r < 0)
            return fail(output_.string() + ": can't be created: " + avText(r));
        if (int r = avformat_write_header(context_, nullptr); r < 0)
            return fail(output_.string() + ": can't write the container header: " + avText(r));
        return true;
    }

    bool write(TimedPicture& p) {
        if (failed_) return false;
        av_packet_unref(packet_);
        packet_->data = p.bytes.data();
        packet_->size = static_cast<int>(p.bytes.size());
        packet_->pts = p.pts;
        packet_->dts = p.dts;
        packet_->duration = 1;
        packet_->flags = p.key ? AV_PKT_FLAG_KEY : 0;
        av_packet_rescale_ts(packet_, {rate_.den, rate_.num}, context_->streams[0]->time_base);
        // Not interleaved: one stream, and the packet's bytes are ours, never copied.
        const int r = av_write_frame(context_, packet_);
        packet_->data = nullptr;
        packet_->size = 0;
        if (r < 0) return fail(output_.string() + ": write failed: " + avText(r));
        ++pictures_;
        if (p.idr) ++idrPictures_;
        return true;
    }

    bool finish() {
        if (failed_ || !opened_) return false;
        if (int r = av_write_trailer(context_); r < 0) return fail(output_.string() + ": can't finish: " + avText(r));
        if (int r = avio_closep(&context_->pb); r < 0) return fail(output_.string() + ": write failed: " + avText(r));
        if (!file_.commit()) return fail(output_.string() + ": can't be written: " + reasonOf(file_));
        return true;
    }

    bool opened() const { return opened_; }
    bool failed() const { return failed_; }
    std::uint64_t pictures() const { return pictures_; }
    std::uint64_t idrPictures() const { return idrPictures_; }

private:
    void close() {
        if (context_ && context_->pb) avio_closep(&context_->pb);
        avformat_free_context(context_);
        context_ = nullptr;
        av_packet_free(&packet_);
        file_.abandon();
    }

    bool fail(const std::string& why) {
        if (!failed_) err_ << why << "\n";
        failed_ = true;
        return false;
    }

    std::filesystem::path output_;
    std::ostream& err_;
    common::ReplacingFile file_;
    AVFormatContext* context_ = nullptr;
    AVPacket* packet_ = nullptr;
    AVRational rate_{kDefaultRate, 1};
    bool opened_ = false, failed_ = false;
    std::uint64_t pictures_ = 0, idrPictures_ = 0;
};

std::string lowerExtension(const std::filesystem::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return ext;
}

// The rate of the pictures and where it came from.
struct Rate {
    AVRational value;
    std::string from;
};

Rate chooseRate(const StreamFacts& f, const ExportOptions& o) {
    const bool asked = o.fpsNum > 0 && o.fpsDen > 0;
    if (f.rateNum > 0)
        return {{static_cast<int>(f.rateNum), static_cast<int>(f.rateDen)},
                asked ? "from the stream, not --fps" : "from the stream"};
    if (asked) return {{static_cast<int>(o.fpsNum), static_cast<int>(o.fpsDen)}, "from --fps"};
    return {{static_cast<int>(kDefaultRate), 1}, "the default"};
}

}  // namespace

void quietLibraries(bool verbose) { av_log_set_level(verbose ? AV_LOG_INFO : AV_LOG_QUIET); }

int exportRecording(const std::filesystem::path& input, const std::filesystem::path& output, std::ostream& out,
                    std::ostream& err, const Progress& progress, const ExportOptions& options) {
    quietLibraries(options.verbose);
    const std::string ext = lowerExtension(output);
    if (ext != ".mp4" && ext != ".mkv") {
        err << output.string() << ": the output must end in .mp4 or .mkv\n";
        return 1;
    }
    std::error_code ec;
    if (std::filesystem::equivalent(input, output, ec)) {
        err << output.string() << ": is the input itself\n";
        return 1;
    }
    Remuxer remuxer(output, err);
    Rate rate{};
    bool stop = false;
    RecordingStream stream(input, UnitBytes::LengthPrefixed, [&](TimedPicture& p) {
        if (!remuxer.opened()) {
            rate = chooseRate(stream.facts(), options);
            const Sps* sps = nullptr;
            for (int id = 0; id < kMaxSpsCount && !sps; ++id) sps = stream.units().sets().sps(id);
            remuxer.open(rate.value, stream.facts().width, stream.facts().height,
                         avcConfiguration(stream.units(), *sps));
        }
        stop = !remuxer.write(p);
    });
    if (!stream.opened()) {
        err << input.string() << ": can't be read: " << stream.openError() << "\n";
        return 1;
    }
    const bool read = stream.run(progress, &stop);
    if (!read) err << input.string() << ": read error\n";
    if (!remuxer.opened()) {
        if (read && !stream.holdsH264())
            err << input.string() << ": holds no H.264 pictures, nothing to export\n";
        else if (read)
            err << input.string() << ": holds no picture a decoder can start at (no IDR picture or recovery point), "
                                     "nothing to export\n";
        return 1;
    }
    if (!read || !remuxer.finish()) return 1;
    if (progress) progress(1.0);
    const StreamFacts& f = stream.facts();
    out << output.string() << ": " << remuxer.pictures() << " pictures (" << remuxer.idrPictures() << " IDR), "
        << f.width << " x " << f.height << ", " << rateText(static_cast<std::uint32_t>(rate.value.num),
                                                           static_cast<std::uint32_t>(rate.value.den))
        << " pictures/s (" << rate.from << "); left out: " << stream.markedBlocks() << " marked blocks, " << f.leftOut
        << " pictures before the first IDR picture or recovery point";
    if (f.notShowable > 0) out << "; " << f.notShowable << " pictures after it a decoder does not show (leading, or still being refreshed)";
    out << "\n";
    if (f.damaged > 0) {
        err << input.string() << ": damaged: " << f.damaged << " (the first at byte " << f.firstDamageOffset << ": "
            << f.firstDamage << "); the export holds every picture that could be kept\n";
        return 1;
    }
    return 0;
}

}  // namespace pemblor::recording
