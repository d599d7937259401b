#include "selftest/stream_file.hpp"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>
#include <vector>

#include "capture/recording_header.hpp"
#include "driver/little_endian.hpp"
#include "recording/access_units.hpp"
#include "recording/marked_blocks.hpp"

namespace pemblor::selftest {

namespace {

constexpr std::size_t kReadPiece = 64 * 1024;
constexpr std::uint32_t kDecoderQueue = 64;
// A decoder that takes nothing for this long is stuck: the file is given up.
constexpr auto kDecoderPatience = std::chrono::seconds(10);

// Counts what the decoder gives back, on its thread.
struct Tally {
    std::atomic<std::uint32_t> whole{0};
    std::atomic<std::uint32_t> wrongSize{0};
    std::atomic<int> width{0};
    std::atomic<int> height{0};
};

class PictureFeed {
public:
    PictureFeed(video::DecoderFactory& decoders, int width, int height) {
        video::DecodeOption option;
        option.queueDepth = kDecoderQueue;
        option.handler = [this, width, height](std::uint32_t, const std::uint8_t*, std::uint32_t show,
                                               std::uint32_t kind, std::uint32_t w, std::uint32_t h, std::uint32_t) {
            if (kind != video::kDecodedPicture) return 0;
            tally_.width.store(static_cast<int>(w));
            tally_.height.store(static_cast<int>(h));
            if (show) tally_.whole.fetch_add(1);
            if (static_cast<int>(w) != width || static_cast<int>(h) != height) tally_.wrongSize.fetch_add(1);
            return 0;
        };
        ok_ = decoders.open(option, decoder_) >= 0 && decoder_->start() >= 0;
    }
    ~PictureFeed() {
        if (decoder_) decoder_->stop();
    }

    // One access unit, in pieces the decoder takes; waits while its queue is full.
    void write(std::span<const std::uint8_t> unit) {
        for (std::size_t at = 0; ok_ && at < unit.size(); at += video::kMaxDecoderWrite) {
            const auto piece = unit.subspan(at, std::min(video::kMaxDecoderWrite, unit.size() - at));
            const auto giveUp = std::chrono::steady_clock::now() + kDecoderPatience;
            while (ok_ && decoder_->write(piece, false) < 0) {
                if (std::chrono::steady_clock::now() > giveUp) ok_ = false;
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    }

    // Everything written decoded; false when the decoder failed on the way.
    bool finish() { return ok_ && decoder_->finish() >= 0; }
    const Tally& tally() const { return tally_; }

private:
    Tally tally_;
    std::unique_ptr<video::Decoder> decoder_;
    bool ok_ = false;
};

// Picture access units from the first IDR picture on go to the feed, each
// once the next one has shown that it is complete. The pictures between two
// IDR pictures are held against the numbers of their marked blocks.
class UnitSorter {
public:
    UnitSorter(PictureFeed& feed, StreamFileFacts& facts) : feed_(feed), facts_(facts) {}

    void marked(std::span<const std::uint8_t, recording::kMarkedBlockSize> block) {
        numbers_.push_back(driver::loadU32(block, 4));
    }

    void take(const recording::AccessUnit& unit) {
        if (!unit.picture) return;
        ++facts_.pictures;
        if (unit.idr) groups_.push_back(0);
        if (!groups_.empty()) ++groups_.back();
        started_ = started_ || unit.idr;
        if (!started_) return;
        if (holding_) {
            feed_.write(held_);
            ++facts_.decodable;
        }
        held_.assign(unit.bytes.begin(), unit.bytes.end());
        holding_ = true;
    }

    // Only when every IDR picture had its marked block; the last group may be cut short.
    std::uint32_t missing() const {
        if (numbers_.size() != groups_.size()) return 0;
        std::uint32_t missing = 0;
        for (std::size_t i = 1; i < numbers_.size(); ++i) {
            const std::uint32_t called = numbers_[i] - numbers_[i - 1];
            if (called > groups_[i - 1]) missing += called - groups_[i - 1];
        }
        return missing;
    }

private:
    PictureFeed& feed_;
    StreamFileFacts& facts_;
    std::vector<std::uint32_t> numbers_;  // of the marked blocks, in order
    std::vector<std::uint32_t> groups_;   // pictures from each IDR picture to the next
    std::vector<std::uint8_t> held_;
    bool holding_ = false;
    bool started_ = false;
};

}  // namespace

StreamFileFacts readStreamFile(const std::filesystem::path& path, int width, int height,
                               video::DecoderFactory& decoders, const std::atomic<bool>* stop) {
    StreamFileFacts facts;
    std::ifstream in(path, std::ios::binary);
    if (!in) return facts;
    std::vector<std::uint8_t> piece(kReadPiece);
    in.read(reinterpret_cast<char*>(piece.data()), capture::kRecordingHeaderSize);
    const auto header = capture::RecordingHeader::parse(std::span(piece).first(static_cast<std::size_t>(in.gcount())));
    facts.finished = header && header->finished();

    PictureFeed feed(decoders, width, height);
    UnitSorter sorter(feed, facts);
    recording::AccessUnitSplitter splitter([&sorter](const recording::AccessUnit& u) { sorter.take(u); });
    recording::MarkedBlockFilter filter([&splitter](std::span<const std::uint8_t> b, std::uint64_t) { splitter.push(b); },
                                        0, [&sorter](auto block) { sorter.marked(block); });
    while (in.read(reinterpret_cast<char*>(piece.data()), static_cast<std::streamsize>(piece.size())) ||
           in.gcount() > 0) {
        if (stop && stop->load(std::memory_order_relaxed)) return facts;
        const auto got = std::span(piece).first(static_cast<std::size_t>(in.gcount()));
        facts.payloadBytes += got.size();
        filter.push(got);
    }
    filter.finish();
    splitter.finish();
    facts.read = !in.bad() && header.has_value() && feed.finish();
    facts.missing = sorter.missing();
    facts.decoded = feed.tally().whole.load();
    facts.wrongSize = feed.tally().wrongSize.load();
    facts.width = feed.tally().width.load();
    facts.height = feed.tally().height.load();
    return facts;
}

}  // namespace pemblor::selftest
