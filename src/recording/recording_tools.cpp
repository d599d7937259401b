#include "recording/recording_tools.hpp"

#include <algorithm>
#include <cctype>
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "recording/access_units.hpp"
#include "recording/marked_blocks.hpp"
#include "capture/recording_header.hpp"

namespace pemblor::recording {

using capture::kRecordingHeaderSize;
using capture::RecordingHeader;

namespace {

constexpr std::size_t kPiece = 1u << 20;
constexpr int kPicturesPerSecond = 25;

std::string dateText(std::uint32_t packed) {
    const driver::DateTime t = driver::unpackTime(packed);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

// A recording read piece by piece: its header, if it has one, then its payload.
class RecordingReader {
public:
    explicit RecordingReader(const std::filesystem::path& path) : in_(path, std::ios::binary) {
        std::error_code ec;
        size_ = std::filesystem::file_size(path, ec);
        if (ec) in_.setstate(std::ios::failbit);
        if (!in_) return;
        std::array<std::uint8_t, kRecordingHeaderSize> first{};
        in_.read(reinterpret_cast<char*>(first.data()), first.size());
        const auto got = static_cast<std::size_t>(in_.gcount());
        in_.clear();
        header_ = RecordingHeader::parse(std::span(first).first(got));
        // A bare stream: its first bytes are payload too.
        if (!header_) in_.seekg(0);
        done_ = header_ ? kRecordingHeaderSize : 0;
    }

    bool ok() const { return !in_.fail(); }
    const std::optional<RecordingHeader>& header() const { return header_; }
    // Calls fn(piece) for the payload, piece by piece; false on a read error.
    template <typename Fn>
    bool forEachPiece(Fn&& fn) {
        std::vector<std::uint8_t> piece(kPiece);
        while (in_) {
            in_.read(reinterpret_cast<char*>(piece.data()), static_cast<std::streamsize>(piece.size()));
            const auto got = static_cast<std::size_t>(in_.gcount());
            if (got == 0) break;
            done_ += got;
            fn(std::span<const std::uint8_t>(piece.data(), got));
        }
        return in_.eof();
    }
    double share() const { return size_ ? static_cast<double>(done_) / static_cast<double>(size_) : 1.0; }

private:
    std::ifstream in_;
    std::optional<RecordingHeader> header_;
    std::uint64_t size_ = 0;
    std::uint64_t done_ = 0;
};

struct StreamCounts {
    std::uint64_t payload = 0;
    std::uint64_t marked = 0;
    std::uint64_t units = 0;
    std::uint64_t idr = 0;
    int width = 0, height = 0;
};

bool describe(const std::filesystem::path& path, std::ostream& out) {
    RecordingReader reader(path);
    if (!reader.ok()) return false;
    StreamCounts c;
    AccessUnitSplitter units([&](const AccessUnit& u) {
        if (!u.picture) return;
        ++c.units;
        if (u.idr) ++c.idr;
        if (u.width > 0) c.width = u.width, c.height = u.height;
    });
    MarkedBlockFilter filter([&](std::span<const std::uint8_t> b) { units.push(b); });
    const bool read = reader.forEachPiece([&](std::span<const std::uint8_t> piece) {
        c.payload += piece.size();
        filter.push(piece);
    });
    filter.finish();
    units.finish();
    out << path.string() << "\n";
    if (const auto& h = reader.header()) {
        out << "  header:        recording, started " << dateText(h->startTime) << "\n";
        if (h->finished()) {
            out << "  finished:      " << dateText(h->endTime) << "\n";
        } else {
            out << "  finished:      no, cut off (the recording was not stopped)\n";
        }
    } else {
        out << "  header:        none, read as a bare H.264 stream\n";
    }
    out << "  payload bytes: " << c.payload << "\n";
    out << "  marked blocks: " << filter.markedBlocks() << " (skipped)\n";
    out << "  access units:  " << c.units << ", IDR pictures: " << c.idr;
    if (c.width > 0) out << ", " << c.width << " x " << c.height;
    out << "\n";
    return read;
}

// Writes access units into a container, from the first IDR picture on.
class Remuxer {
public:
    Remuxer(const std::filesystem::path& output, std::ostream& err) : output_(output), err_(err) {}
    ~Remuxer() {
        if (context_ && !(context_->oformat->flags & AVFMT_NOFILE)) avio_closep(&context_->pb);
        avformat_free_context(context_);
    }
    Remuxer(const Remuxer&) = delete;
    Remuxer& operator=(const Remuxer&) = delete;

    // False once a write has failed; the failure has been reported.
    bool add(const AccessUnit& unit) {
        if (failed_) return false;
        const std::vector<std::uint8_t> sets = parameterSets(unit.bytes);
        if (!unit.picture) {  // parameter sets on their own: kept for the stream's start
            if (!started_) heldSets_.insert(heldSets_.end(), sets.begin(), sets.end());
            return true;
        }
        if (!started_) {
            if (!unit.idr) {
                ++skipped_;
                return true;
            }
            heldSets_.insert(heldSets_.end(), sets.begin(), sets.end());
            if (!start(unit)) return false;
        }
        return write(unit);
    }

    // Ends the file; false when it never started or could not be finished.
    bool finish() {
        if (failed_) return false;
        if (!started_) return false;
        if (av_write_trailer(context_) < 0) return fail("can't finish the file");
        return true;
    }

    bool started() const { return started_; }
    std::uint64_t pictures() const { return pictures_; }
    std::uint64_t idrPictures() const { return idr_; }
    std::uint64_t skipped() const { return skipped_; }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    bool start(const AccessUnit& first) {
        started_ = true;
        if (heldSets_.empty()) return fail("no parameter sets before the first IDR picture");
        if (avformat_alloc_output_context2(&context_, nullptr, nullptr, output_.c_str()) < 0 || !context_) {
            return fail("no container for this name");
        }
        AVStream* stream = avformat_new_stream(context_, nullptr);
        if (!stream) return fail("out of memory");
        stream->time_base = {1, kPicturesPerSecond};
        stream->avg_frame_rate = stream->r_frame_rate = {kPicturesPerSecond, 1};
        AVCodecParameters* par = stream->codecpar;
        par->codec_type = AVMEDIA_TYPE_VIDEO;
        par->codec_id = AV_CODEC_ID_H264;
        par->width = width_ = first.width;
        par->height = height_ = first.height;
        par->extradata = static_cast<std::uint8_t*>(av_mallocz(heldSets_.size() + AV_INPUT_BUFFER_PADDING_SIZE));
        if (!par->extradata) return fail("out of memory");
        std::copy(heldSets_.begin(), heldSets_.end(), par->extradata);
        par->extradata_size = static_cast<int>(heldSets_.size());
        if (!(context_->oformat->flags & AVFMT_NOFILE) &&
            avio_open(&context_->pb, output_.c_str(), AVIO_FLAG_WRITE) < 0) {
            return fail("can't be created");
        }
        if (avformat_write_header(context_, nullptr) < 0) return fail("can't write the container header");
        return true;
    }

    bool write(const AccessUnit& unit) {
        AVPacket* packet = av_packet_alloc();
        if (!packet || av_new_packet(packet, static_cast<int>(unit.bytes.size())) < 0) {
            av_packet_free(&packet);
            return fail("out of memory");
        }
        std::copy(unit.bytes.begin(), unit.bytes.end(), packet->data);
        // Pictures in decoding order are pictures in showing order: the card's streams have no B pictures.
        packet->pts = packet->dts = static_cast<std::int64_t>(pictures_);
        packet->duration = 1;
        if (unit.idr) packet->flags |= AV_PKT_FLAG_KEY;
        av_packet_rescale_ts(packet, {1, kPicturesPerSecond}, context_->streams[0]->time_base);
        const int result = av_interleaved_write_frame(context_, packet);
        av_packet_free(&packet);
        if (result < 0) return fail("write failed");
        ++pictures_;
        if (unit.idr) ++idr_;
        return true;
    }

    bool fail(const char* why) {
        if (!failed_) err_ << output_.string() << ": " << why << "\n";
        failed_ = true;
        return false;
    }

    std::filesystem::path output_;
    std::ostream& err_;
    AVFormatContext* context_ = nullptr;
    std::vector<std::uint8_t> heldSets_;
    bool started_ = false;
    bool failed_ = false;
    std::uint64_t pictures_ = 0, idr_ = 0, skipped_ = 0;
    int width_ = 0, height_ = 0;
};

std::string lowerExtension(const std::filesystem::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return ext;
}

}  // namespace

int exportRecording(const std::filesystem::path& input, const std::filesystem::path& output, std::ostream& out,
                    std::ostream& err, const Progress& progress) {
    const std::string ext = lowerExtension(output);
    if (ext != ".mp4" && ext != ".mkv") {
        err << output.string() << ": the output must end in .mp4 or .mkv\n";
        return 1;
    }
    RecordingReader reader(input);
    if (!reader.ok()) {
        err << input.string() << ": can't be read\n";
        return 1;
    }
    std::error_code ec;
    if (std::filesystem::equivalent(input, output, ec)) {
        err << output.string() << ": is the input itself\n";
        return 1;
    }
    std::optional<Remuxer> remuxer(std::in_place, output, err);
    bool ok = true;
    AccessUnitSplitter units([&](const AccessUnit& u) { ok = remuxer->add(u) && ok; });
    MarkedBlockFilter filter([&](std::span<const std::uint8_t> b) { units.push(b); });
    double shown = 0;
    const bool read = reader.forEachPiece([&](std::span<const std::uint8_t> piece) {
        if (!ok) return;
        filter.push(piece);
        if (progress && reader.share() - shown >= 0.01) progress(shown = reader.share());
    });
    filter.finish();
    units.finish();
    if (!read) err << input.string() << ": read error\n";
    const bool started = remuxer->started();
    ok = ok && read && remuxer->finish();
    if (progress && ok) progress(1.0);
    if (!started && read) err << input.string() << ": holds no H.264 pictures, nothing to export\n";
    if (!ok) {
        remuxer.reset();
        std::filesystem::remove(output, ec);
        return 1;
    }
    out << output.string() << ": " << remuxer->pictures() << " pictures (" << remuxer->idrPictures()
        << " IDR), " << remuxer->width() << " x " << remuxer->height() << ", " << kPicturesPerSecond
        << " pictures/s; left out: " << filter.markedBlocks() << " marked blocks, " << remuxer->skipped()
        << " pictures before the first IDR picture\n";
    return 0;
}

int recordingInfo(const std::vector<std::filesystem::path>& files, std::ostream& out, std::ostream& err) {
    int status = 0;
    for (const auto& file : files) {
        if (!describe(file, out)) {
            err << file.string() << ": can't be read\n";
            status = 1;
        }
    }
    return status;
}

}  // namespace pemblor::recording
