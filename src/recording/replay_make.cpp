#include "recording/replay_make.hpp"

#include <array>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/bsf.h>
#include <libavformat/avformat.h>
}

#include "capture/recording_header.hpp"
#include "common/input_file.hpp"
#include "common/replacing_file.hpp"
#include "driver/little_endian.hpp"
#include "driver/replay_text.hpp"
#include "recording/recording_stream.hpp"
#include "recording/recording_tools.hpp"

namespace pemblor::recording {

namespace {

constexpr std::size_t kBlockPayload = 4096;      // as the card cuts its streams
constexpr std::size_t kStreamArea = 2u << 20;    // the card's encoded-stream area: one run at most
constexpr std::size_t kBlockHeader = 8;
constexpr std::uint32_t kStreamBlocksCode = 0x12;
constexpr std::uint32_t kMarkedWord = 0xF0010000;
constexpr std::size_t kTextFlush = 64u << 10;

struct Rate {
    std::uint32_t num = 0, den = 1;
    std::string from;
};

// Cuts access units into blocks and fetches, and writes the two files.
class ReplayWriter {
public:
    // containerRate is read when the first unit comes (the container is open by then).
    ReplayWriter(common::ReplacingFile& text, common::ReplacingFile& data, std::string dataName,
                 const MakeOptions& options, const Rate& containerRate)
        : text_(text), data_(data), dataName_(std::move(dataName)), options_(options), containerRate_(containerRate) {
        streamId_ = options.channel + (options.sub ? 4 : 0);
        lines_ = "# made by pemblorctl replay make: stream id " + std::to_string(streamId_) + "\n";
    }

    void unit(const AccessUnit& u) {
        if (failed_) return;
        if (rate_.num == 0) chooseRate(u);
        const bool key = u.readable && (u.idr || u.recoveryFrames >= 0);
        atMicros_ = static_cast<std::uint64_t>(std::llround(static_cast<double>(halfPictures_) * 5e5 * rate_.den / rate_.num));
        halfPictures_ += u.readable && u.slice.fieldPic ? 1 : 2;
        ++units_;
        if (key) ++keys_;
        if (options_.marked && key) block(markedBlock());
        for (std::size_t at = 0; at < u.bytes.size(); at += kBlockPayload)
            block(std::span(u.bytes).subspan(at, std::min(kBlockPayload, u.bytes.size() - at)));
        flushFetch();
    }

    bool finish() {
        flushText(true);
        if (failed_) return false;
        if (!data_.commit()) return fail(data_);
        if (!text_.commit()) return fail(text_);
        return true;
    }

    const std::string& error() const { return error_; }
    std::uint64_t units() const { return units_; }
    std::uint64_t keys() const { return keys_; }
    std::uint64_t fetches() const { return fetches_; }
    std::uint64_t bytes() const { return dataAt_; }
    std::uint64_t durationMicros() const {
        return rate_.num ? static_cast<std::uint64_t>(std::llround(static_cast<double>(halfPictures_) * 5e5 * rate_.den / rate_.num))
                         : 0;
    }
    const Rate& rate() const { return rate_; }
    std::uint32_t streamId() const { return streamId_; }

private:
    void chooseRate(const AccessUnit& u) {
        if (u.sps && u.sps->timing && u.sps->unitsInTick > 0 && u.sps->timeScale >= 2 * u.sps->unitsInTick &&
            u.sps->timeScale <= 2000ull * u.sps->unitsInTick) {
            rate_ = {u.sps->timeScale, 2 * u.sps->unitsInTick, "from the stream"};
        } else if (containerRate_.num > 0) {
            rate_ = containerRate_;
        } else if (options_.fpsNum > 0) {
            rate_ = {options_.fpsNum, options_.fpsDen, "from --fps"};
        } else {
            rate_ = {25, 1, "the default"};
        }
    }

    std::array<std::uint8_t, 16> markedBlock() const {
        std::array<std::uint8_t, 16> m{};
        driver::storeU32(m, 0, kMarkedWord);
        driver::storeU32(m, 4, static_cast<std::uint32_t>(units_ - 1));
        driver::storeU32(m, 8, capture::packLocalTime(ui::systemLocalTime()));
        return m;
    }

    void block(std::span<const std::uint8_t> payload) {
        if (run_.size() + kBlockHeader + payload.size() > kStreamArea) flushFetch();
        const std::size_t at = run_.size();
        run_.resize(at + kBlockHeader);
        driver::storeU32(std::span(run_).subspan(at), 0, static_cast<std::uint32_t>(payload.size() + kBlockHeader));
        driver::storeU32(std::span(run_).subspan(at), 4, streamId_);
        run_.insert(run_.end(), payload.begin(), payload.end());
        ++blocks_;
    }

    void flushFetch() {
        if (blocks_ == 0 || failed_) return;
        if (dataAt_ + run_.size() > 0xFFFFFFFFull) {
            error_ = "the stream is too long for one replay (its data file would pass 4 GiB)";
            failed_ = true;
            return;
        }
        if (!data_.write(run_)) {
            fail(data_);
            return;
        }
        std::array<std::uint8_t, 16> record{};
        driver::storeU32(record, 0, kStreamBlocksCode);
        driver::storeU32(record, 4, blocks_);
        driver::storeU32(record, 12, static_cast<std::uint32_t>(run_.size()));
        driver::appendFetch(lines_, atMicros_);
        driver::appendRecord(lines_, record);
        driver::appendArea(lines_, 1, 0, dataAt_, run_.size(), dataName_);
        dataAt_ += run_.size();
        ++fetches_;
        run_.clear();
        blocks_ = 0;
        flushText(false);
    }

    void flushText(bool all) {
        if (failed_ || (!all && lines_.size() < kTextFlush)) return;
        if (!text_.write(lines_)) fail(text_);
        lines_.clear();
    }

    bool fail(const common::ReplacingFile& f) {
        error_ = f.errorText();
        failed_ = true;
        return false;
    }

    common::ReplacingFile& text_;
    common::ReplacingFile& data_;
    std::string dataName_;
    MakeOptions options_;
    const Rate& containerRate_;
    Rate rate_;
    std::uint32_t streamId_ = 0;
    std::string lines_;
    std::vector<std::uint8_t> run_;
    std::uint32_t blocks_ = 0;
    std::uint64_t halfPictures_ = 0, atMicros_ = 0, dataAt_ = 0;
    std::uint64_t units_ = 0, keys_ = 0, fetches_ = 0;
    bool failed_ = false;
    std::string error_;
};

// An Annex B stream or a recording file: it starts with a start code (after
// zeros) or a recording header.
bool readsAsStream(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::array<char, capture::kRecordingHeaderSize> first{};
    in.read(first.data(), first.size());
    const auto got = static_cast<std::size_t>(in.gcount());
    const auto bytes = std::span(reinterpret_cast<const std::uint8_t*>(first.data()), got);
    if (capture::RecordingHeader::parse(bytes)) return true;
    std::size_t zeros = 0;
    while (zeros < got && bytes[zeros] == 0) ++zeros;
    return zeros >= 2 && zeros < got && bytes[zeros] == 1;
}

// The video of a container through the splitter, as Annex B. Empty, or why not.
std::string readContainer(const std::filesystem::path& path, AccessUnitSplitter& units, Rate& rate) {
    AVFormatContext* fmt = nullptr;
    if (avformat_open_input(&fmt, path.c_str(), nullptr, nullptr) < 0)
        return "neither an H.264 stream nor a file libavformat opens";
    struct Closer {
        AVFormatContext** f;
        AVBSFContext* bsf = nullptr;
        AVPacket* pkt = av_packet_alloc();
        ~Closer() {
            av_packet_free(&pkt);
            av_bsf_free(&bsf);
            avformat_close_input(f);
        }
    } closer{&fmt};
    if (avformat_find_stream_info(fmt, nullptr) < 0) return "its streams can't be read";
    const int index = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0) return "holds no video";
    const AVStream* st = fmt->streams[index];
    if (st->codecpar->codec_id != AV_CODEC_ID_H264)
        return std::string("its video is ") + avcodec_get_name(st->codecpar->codec_id) + ", not H.264";
    if (st->avg_frame_rate.num > 0 && st->avg_frame_rate.den > 0)
        rate = {static_cast<std::uint32_t>(st->avg_frame_rate.num), static_cast<std::uint32_t>(st->avg_frame_rate.den),
                "from the container"};
    // Length-prefixed H.264 (MP4, Matroska) becomes Annex B on the way.
    const bool prefixed = st->codecpar->extradata_size > 0 && st->codecpar->extradata[0] == 1;
    if (prefixed) {
        const AVBitStreamFilter* filter = av_bsf_get_by_name("h264_mp4toannexb");
        if (!filter || av_bsf_alloc(filter, &closer.bsf) < 0 ||
            avcodec_parameters_copy(closer.bsf->par_in, st->codecpar) < 0 || av_bsf_init(closer.bsf) < 0)
            return "its H.264 can't be turned into a byte stream";
    }
    AVPacket* pkt = closer.pkt;
    if (!pkt) return "out of memory";
    const auto drain = [&] {
        while (av_bsf_receive_packet(closer.bsf, pkt) == 0) {
            units.push({pkt->data, static_cast<std::size_t>(pkt->size)});
            av_packet_unref(pkt);
        }
    };
    while (av_read_frame(fmt, pkt) >= 0) {
        if (pkt->stream_index != index) {
            av_packet_unref(pkt);
        } else if (closer.bsf) {
            if (av_bsf_send_packet(closer.bsf, pkt) < 0) av_packet_unref(pkt);
            drain();
        } else {
            units.push({pkt->data, static_cast<std::size_t>(pkt->size)});
            av_packet_unref(pkt);
        }
    }
    if (closer.bsf && av_bsf_send_packet(closer.bsf, nullptr) == 0) drain();
    units.finish();
    return {};
}

}  // namespace

int makeReplay(const std::filesystem::path& input, const std::filesystem::path& output, std::ostream& out,
               std::ostream& err, const MakeOptions& options) {
    quietLibraries(options.verbose);
    std::filesystem::path dataPath = output;
    dataPath += ".bin";
    std::string reason;
    if (common::InputFile probe; !probe.open(input, reason)) {
        err << input.string() << ": can't be read: " << reason << "\n";
        return 1;
    }
    if (common::sameFile(input, output) || common::sameFile(input, dataPath)) {
        err << output.string() << ": is the input itself\n";
        return 1;
    }
    common::ReplacingFile text, data;
    if (!text.open(output) || !data.open(dataPath)) {
        err << (text.isOpen() ? data : text).errorText() << "\n";
        return 1;
    }
    Rate containerRate;
    std::string why;
    std::uint64_t damaged = 0;
    std::optional<ReplayWriter> writer;
    const auto unit = [&](AccessUnit& u) { writer->unit(u); };
    if (readsAsStream(input)) {
        writer.emplace(text, data, dataPath.filename().string(), options, containerRate);
        RecordingStream stream(input, UnitBytes::AsInput, {}, unit);
        if (!stream.run()) why = "read error";
        damaged = stream.facts().damaged;
    } else {
        AccessUnitSplitter units(unit, UnitBytes::AsInput, [&](std::uint64_t, const char*) { ++damaged; });
        writer.emplace(text, data, dataPath.filename().string(), options, containerRate);
        why = readContainer(input, units, containerRate);
    }
    if (why.empty() && writer->units() == 0) why = "holds no H.264";
    if (!why.empty()) {
        err << input.string() << ": " << why << "\n";
        return 1;
    }
    if (!writer->finish()) {
        err << output.string() << ": " << writer->error() << "\n";
        return 1;
    }
    const Rate& rate = writer->rate();
    out << output.string() << ": " << writer->fetches() << " fetches of " << writer->units() << " access units ("
        << writer->keys() << " key pictures) as stream id " << writer->streamId() << ", " << writer->bytes()
        << " bytes of blocks in " << dataPath.filename().string() << ", paced at " << rateText(rate.num, rate.den)
        << " pictures/s (" << rate.from << "), " << rateText(static_cast<std::uint32_t>(writer->durationMicros() / 1000), 1000)
        << " s\n";
    if (damaged > 0) {
        err << input.string() << ": damaged: " << damaged << " NAL or access units left out\n";
        return 1;
    }
    return 0;
}

}  // namespace pemblor::recording
