// The stream group: seconds of reception on every channel, then what came:
// each recording decoded whole at the card's picture size and rate, nothing
// dropped by the card, every byte received written, previews, full-size
// pictures and debug lines.
#include <cmath>
#include <fstream>
#include <system_error>

#include "capture/receiver.hpp"
#include "capture/recording_header.hpp"
#include "capture/recording_set.hpp"
#include "common/data_root.hpp"
#include "common/printf_line.hpp"
#include "driver/little_endian.hpp"
#include "driver/request_codes.hpp"
#include "resources/console_ids.hpp"
#include "selftest/check_groups.hpp"
#include "selftest/stream_file.hpp"
#include "selftest/stream_watch.hpp"

namespace pemblor::selftest {

namespace {

using common::kChannelCount;
using common::kSlotCount;
using common::printfLine;

constexpr double kStartDeadlineSeconds = 10;  // for every stream to send its first block
constexpr int kLookMs = 10;
constexpr auto kProbeEvery = std::chrono::milliseconds(250);
constexpr double kRateTolerance = 0.10;

constexpr const char* kReception = "stream.reception";

Clock::duration seconds(double s) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(s));
}
constexpr const char* kReceptionTitle = "reception on every channel";

std::string slotName(std::size_t slot) { return resources::console::kStreamItems[slot]; }

// Every row of the group, for skipping them all.
std::vector<std::pair<std::string, std::string>> streamRows() {
    std::vector<std::pair<std::string, std::string>> rows{{kReception, kReceptionTitle}};
    for (std::size_t s = 0; s < kSlotCount; ++s)
        rows.emplace_back("stream.decode." + slotName(s), slotName(s) + " decodes whole at its size");
    for (std::size_t s = 0; s < kSlotCount; ++s)
        rows.emplace_back("stream.rate." + slotName(s), slotName(s) + " at the card's picture rate");
    rows.emplace_back("stream.dropped", "no record dropped by the card");
    rows.emplace_back("stream.written", "every byte received written");
    rows.emplace_back("stream.previews", "previews arrive on every channel");
    rows.emplace_back("stream.fullsize", "full-size pictures arrive");
    rows.emplace_back("stream.debug", "debug lines arrive");
    return rows;
}

void skipFrom(Run& run, std::size_t first, const std::string& reason) {
    const auto rows = streamRows();
    for (std::size_t i = first; i < rows.size(); ++i) run.skip(rows[i].first, rows[i].second, reason);
}

const char* blockedReason(const CardState& card) {
    if (!card.mapped) return "no address mapping";
    if (!card.running) return "the DSP does not run its program";
    if (!card.dmaSet) return "the DMA is not set";
    if (!card.channelsOn) return "the channels are not switched on";
    return nullptr;
}

// Category 1's count of what the card dropped; nothing when it does not answer.
std::optional<std::uint32_t> droppedCount(driver::DriverLink& link) {
    std::array<std::uint8_t, driver::kInfoAnswerSize> answer{};
    const std::uint32_t bytes = link.deviceInfo(driver::kCounterCategory, answer);
    if (bytes < (driver::kDroppedItemsWord + 1) * 4) return std::nullopt;
    return driver::loadU32(answer, driver::kDroppedItemsWord * 4);
}

std::uint64_t sizeOf(const std::filesystem::path& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    return ec ? 0 : size;
}

// Lines (CR LF) in a file from byte from on.
std::uint32_t linesFrom(const std::filesystem::path& path, std::uint64_t from) {
    std::ifstream in(path, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(from));
    std::uint32_t lines = 0;
    char c = 0;
    while (in.get(c)) lines += c == '\n' ? 1 : 0;
    return lines;
}

std::string receptionStartFailure(capture::Receiver::Start start, const capture::Receiver& receiver) {
    switch (start) {
        case capture::Receiver::Start::kNoMapping: return "the address mapping lacks an area";
        case capture::Receiver::Start::kNoEvent: return "no data event could be made";
        case capture::Receiver::Start::kOpenFailed: return receiver.failedPath().string() + " cannot be written";
        default: return {};
    }
}

// One reception: what it was held against before, what came during it.
class StreamRun {
public:
    explicit StreamRun(Run& run)
        : run_(run),
          folder_(run.options().root / kRecordingFolder),
          host_(folder_),
          hub_(capture::ReceptionHub::create(host_, [this](std::string_view line) { hubLines_.emplace_back(line); })) {}

    std::optional<ReceptionEnd> go() {
        std::error_code ec;
        std::filesystem::create_directories(folder_, ec);
        const int device = run_.options().device;
        debugPath_ = common::mapConsolePath(folder_, capture::debugFileName(device));
        droppedBefore_ = droppedCount(run_.link());
        if (run_.hooks().delivered) deliveredBefore_ = run_.hooks().delivered(device);
        debugBefore_ = sizeOf(debugPath_);
        hub_->setSaving(true);
        hub_->publishPreview(previews_);
        capture::Receiver receiver(run_.link(), hub_);
        const auto start = receiver.start(folder_, device, capture::packLocalTime(ui::systemLocalTime()));
        if (start != capture::Receiver::Start::kStarted) {
            const std::string why = receptionStartFailure(start, receiver);
            run_.check(kReception, kReceptionTitle, [&] { return fail("not started", "started", why); });
            skipFrom(run_, 1, "reception did not start");
            return std::nullopt;
        }
        for (std::size_t s = 0; s < kSlotCount; ++s)
            pictureTimes_[s] = std::make_unique<PictureTimes>(streamPath(s));
        watch();
        const auto stopAt = Clock::now();
        ReceptionEnd end;
        end.ended = receiver.stop(capture::packLocalTime(ui::systemLocalTime()));
        end.stopSeconds = std::chrono::duration<double>(Clock::now() - stopAt).count();
        end.filesFinished = end.ended != capture::ReceiveThread::Ended::kBusy;
        hub_->retractPreview();
        host_.drain();
        seconds_ = std::chrono::duration<double>(stopAt - startedAt_).count();
        if (!windowStart_) markWindow(startedAt_);
        windowSeconds_ = std::max(1e-3, std::chrono::duration<double>(stopAt - *windowStart_).count());
        rows();
        return end;
    }

private:
    // Waits for every stream, then receives for the seconds asked; a stop or
    // a card that no longer answers ends it early.
    void watch() {
        startedAt_ = Clock::now();
        const auto deadline = startedAt_ + seconds(kStartDeadlineSeconds);
        auto nextProbe = startedAt_ + kProbeEvery;
        std::optional<Clock::time_point> until;
        while (!run_.stopRequested()) {
            const auto now = Clock::now();
            arrivals_.look(hub_->stats());
            for (auto& times : pictureTimes_) times->look(now);
            if (!until && (arrivals_.allStarted() || now >= deadline)) {
                until = now + seconds(run_.options().seconds);
                markWindow(now);
            }
            if (until && now >= *until) break;
            if (now >= nextProbe) {
                nextProbe = now + kProbeEvery;
                if (!run_.cardAnswers()) {
                    silentAfter_ = std::chrono::duration<double>(now - startedAt_).count();
                    break;
                }
            }
            host_.drain();
            run_.sleep(kLookMs);
        }
    }

    // Rates are taken from here on, once every stream came.
    void markWindow(Clock::time_point now) {
        windowStart_ = now;
        for (std::size_t ch = 0; ch < kChannelCount; ++ch) previewsAtWindow_[ch] = previews_.previews(ch);
        fullSizeAtWindow_ = previews_.fullSize();
    }

    void rows() {
        run_.check(kReception, kReceptionTitle, [&] { return receptionFinding(); });
        for (std::size_t s = 0; s < kSlotCount; ++s)
            run_.check("stream.decode." + slotName(s), slotName(s) + " decodes whole at its size",
                       [&] { return decodeFinding(s); });
        for (std::size_t s = 0; s < kSlotCount; ++s)
            run_.check("stream.rate." + slotName(s), slotName(s) + " at the card's picture rate",
                       [&] { return rateFinding(s); });
        run_.check("stream.dropped", "no record dropped by the card", [&] { return droppedFinding(); });
        run_.check("stream.written", "every byte received written", [&] { return writtenFinding(); });
        run_.check("stream.previews", "previews arrive on every channel", [&] { return previewsFinding(); });
        run_.check("stream.fullsize", "full-size pictures arrive", [&] { return fullSizeFinding(); });
        run_.check("stream.debug", "debug lines arrive", [&] { return debugFinding(); });
    }

    Finding receptionFinding() {
        const std::string limit = printfLine("%.0f s", run_.options().seconds);
        if (silentAfter_)
            return fail(printfLine("%.1f s", *silentAfter_), limit,
                        printfLine("the card went silent %.1f s into reception", *silentAfter_));
        if (!arrivals_.anyStarted())
            return fail("no data", limit,
                        printfLine("nothing arrived within %.0f s: the card does not deliver", kStartDeadlineSeconds));
        return pass(printfLine("%.1f s", seconds_), limit);
    }

    Finding decodeFinding(std::size_t slot) {
        const bool main = slot < kChannelCount;
        const int width = main ? capture::kRecordingWidth : capture::kRecordingWidth / 2;
        const int height = main ? capture::kRecordingHeight : capture::kRecordingHeight / 2;
        video::FfmpegDecoders decoders;
        StreamFileFacts& f = facts_[slot];
        f = readStreamFile(streamPath(slot), width, height, decoders, run_.hooks().stop);
        common::add(hub_->stats().slotTable[slot].decodeErrors, f.errors());
        const std::string limit = printfLine("0 errors, %dx%d", width, height);
        if (!f.read) return fail("unreadable", limit, "the recording cannot be read back or decoded");
        if (f.decodable == 0)
            return fail("no picture", limit, "no whole picture from an IDR picture on: the stream never came");
        if (f.missing > 0)
            return fail(printfLine("%u pictures missing", f.missing), limit,
                        "pictures lost between two IDR pictures: the card drops pictures of this stream");
        if (f.errors() > 0)
            return fail(printfLine("%u of %u pictures bad", f.errors(), f.decodable), limit,
                        "pictures that do not decode: the stream carries corrupt slices or misses pictures");
        if (f.wrongSize > 0)
            return fail(printfLine("%dx%d", f.width, f.height), limit,
                        "pictures of the wrong size: the encoder runs with the wrong settings");
        return pass(printfLine("%u pictures, %dx%d", f.decodable, f.width, f.height), limit);
    }

    Finding rateFinding(std::size_t slot) {
        const double expected = capture::kRecordingPictureRate;
        const std::string limit =
            printfLine("%.1f-%.1f/s", expected * (1 - kRateTolerance), expected * (1 + kRateTolerance));
        const std::optional<double> measuredRate = pictureTimes_[slot]->rate();
        if (!measuredRate)
            return fail(printfLine("%u pictures", facts_[slot].pictures), limit,
                        "too few pictures arrived to tell a rate");
        const double rate = *measuredRate;
        const std::string measured = printfLine("%.1f/s", rate);
        if (std::abs(rate - expected) <= expected * kRateTolerance) return pass(measured, limit);
        return fail(measured, limit,
                    rate < expected ? "too few pictures: the card loses them or runs slow"
                                    : "too many pictures: the card's picture clock runs fast");
    }

    std::filesystem::path streamPath(std::size_t slot) const {
        return common::mapConsolePath(folder_, capture::streamFileName(run_.options().device, slot));
    }

    Finding droppedFinding() {
        const auto after = droppedCount(run_.link());
        if (!droppedBefore_ || !after) return fail("no answer", "0", "the counter category does not answer");
        const std::uint32_t dropped = *after - *droppedBefore_;
        if (dropped == 0) return pass("0", "0");
        return fail(grouped(dropped), "0", "the card dropped data before it was fetched: it lost what it produced");
    }

    Finding writtenFinding() {
        const std::string limit = "every byte";
        if (!hubLines_.empty()) return fail("write failed", limit, hubLines_.front());
        const auto after = deliveredBefore_ ? run_.hooks().delivered(run_.options().device) : std::nullopt;
        std::uint64_t total = 0;
        for (std::size_t s = 0; s < kSlotCount; ++s) {
            const StreamFileFacts& f = facts_[s];
            total += f.payloadBytes;
            const std::string name = slotName(s);
            if (!f.finished)
                return fail(name + " unfinished", limit,
                            name + "'s recording was not finished: its header has no end time");
            // The hub counts what the card announced, 32 bits that wrap.
            const std::uint32_t counted = common::read(hub_->stats().slotTable[s].byteAccumulator);
            if (counted != static_cast<std::uint32_t>(f.payloadBytes))
                return fail(
                    name + ": " + grouped(f.payloadBytes) + " written", grouped(counted) + " announced",
                    name + ": blocks announced but not whole in their record: the card hands out malformed records");
            if (after && (*after)[s] - (*deliveredBefore_)[s] != f.payloadBytes)
                return fail(name + ": " + grouped(f.payloadBytes) + " written",
                            grouped((*after)[s] - (*deliveredBefore_)[s]) + " handed out",
                            name + ": bytes the card handed out are missing from the recording");
        }
        return pass(grouped(total) + " bytes", limit);
    }

    Finding previewsFinding() {
        std::string measured;
        std::string missing;
        for (std::size_t ch = 0; ch < kChannelCount; ++ch) {
            const std::uint32_t n = previews_.previews(ch);
            measured += printfLine("%s%.1f", ch ? " " : "", (n - previewsAtWindow_[ch]) / windowSeconds_);
            if (n == 0 && missing.empty()) missing = printfLine("channel %zu", ch + 1);
        }
        measured += "/s";
        if (!missing.empty())
            return fail(
                measured, "> 0 each",
                printfLine("%s: no preview picture in %.1f s: its preview never comes", missing.c_str(), seconds_));
        if (previews_.misfits() > 0)
            return fail(measured, "> 0 each",
                        "a preview picture larger than its place: the driver's areas are too small");
        return pass(measured, "> 0 each");
    }

    Finding fullSizeFinding() {
        const std::uint32_t n = previews_.fullSize();
        const std::string measured = printfLine("%.1f/s", (n - fullSizeAtWindow_) / windowSeconds_);
        if (n == 0)
            return fail(measured, "> 0",
                        printfLine("no full-size picture in %.1f s: the full-size path is dead", seconds_));
        return pass(measured, "> 0");
    }

    Finding debugFinding() {
        const std::uint32_t lines = linesFrom(debugPath_, debugBefore_);
        const std::string measured = printfLine("%u lines", lines);
        if (lines == 0)
            return fail(measured, "> 0",
                        printfLine("no debug line in %.1f s: the DSP sends no debug records", seconds_));
        return pass(measured, "> 0");
    }

    Run& run_;
    std::filesystem::path folder_;
    RunHost host_;
    std::vector<std::string> hubLines_;  // drained on this thread
    std::shared_ptr<capture::ReceptionHub> hub_;
    PreviewCounter previews_;
    Arrivals arrivals_;
    std::array<std::unique_ptr<PictureTimes>, kSlotCount> pictureTimes_;
    std::filesystem::path debugPath_;
    std::optional<std::uint32_t> droppedBefore_;
    std::optional<SlotBytes> deliveredBefore_;
    std::uint64_t debugBefore_ = 0;
    Clock::time_point startedAt_{};
    double seconds_ = 0;
    std::optional<Clock::time_point> windowStart_;
    double windowSeconds_ = 1;
    std::array<std::uint32_t, kChannelCount> previewsAtWindow_{};
    std::uint32_t fullSizeAtWindow_ = 0;
    std::optional<double> silentAfter_;
    std::array<StreamFileFacts, kSlotCount> facts_{};
};

}  // namespace

std::optional<ReceptionEnd> streamChecks(Run& run) {
    if (const char* why = blockedReason(run.card())) {
        skipFrom(run, 0, why);
        return std::nullopt;
    }
    if (run.stopRequested() || run.vanished()) {
        skipFrom(run, 0, "the card vanished");
        return std::nullopt;
    }
    return StreamRun(run).go();
}

}  // namespace pemblor::selftest
