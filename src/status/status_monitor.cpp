#include "status/status_monitor.hpp"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <string>

#include "driver/card_health.hpp"
#include "driver/little_endian.hpp"
#include "common/number_entry.hpp"
#include "resources/console_ids.hpp"

namespace pemblor::status {

using namespace resources::console;
using common::kChannelCount;
using common::kSlotCount;
using common::read;
using driver::loadU32;

namespace {

constexpr std::array<int, kChannelCount> kChannelLines = {kChan1Line, kChan2Line, kChan3Line, kChan4Line};
constexpr std::size_t kChannelStatusSize = 32;
constexpr std::uint32_t kTwelveBits = 0xFFF;
using driver::kDroppedItemsWord;

// One status line, formatted into a buffer of its own, so a tick allocates
// nothing for its labels.
class LineBuffer {
public:
    std::string_view format(const char* fmt, ...) __attribute__((format(printf, 2, 3))) {
        va_list args;
        va_start(args, fmt);
        const int n = std::vsnprintf(buf_.data(), buf_.size(), fmt, args);
        va_end(args);
        if (n < 0) return {};
        return {buf_.data(), std::min(static_cast<std::size_t>(n), buf_.size() - 1)};
    }

private:
    std::array<char, 160> buf_{};
};

// printf's %d of a 32-bit word, as the status lines show counters.
int asInt(std::uint32_t v) { return static_cast<std::int32_t>(v); }

class StatusMonitorImpl final : public StatusMonitor {
public:
    StatusMonitorImpl(ui::ConsoleSeam& console, common::ReceiveStats& stats)
        : console_(console),
          stats_(stats),
          normalLine_(console.dialog().text(kNormalLine)),
          errorLine_(console.dialog().text(kErrorLine)) {
        ui::Dialog& d = console_.dialog();
        d.onTimer(kReceiveTimer, [this] { writeReceptionLine(); });
        // Any other timer is the status timer's tick.
        d.onTimer([this](int) { fullTick(); });
        d.onClick(kStartWatch, [this] { switchWatch(true); });
        d.onClick(kStopWatch, [this] { switchWatch(false); });
        watchText_.reserve(kWatchLines * 12);
    }

    const StatusHistory& history() const override { return history_; }

    // NormalC and ErrorC as the lines show them; read now when the report
    // opened the card itself, so that it does not show another card's.
    void reportLines(bool justOpened, const std::function<void(std::string_view)>& append) override {
        if (justOpened) {
            std::array<std::uint8_t, kCounterAnswerSize> counters{};
            refreshDriverCounters(counters);
        }
        append("NormalC: " + normalLine_);
        append("ErrorC: " + errorLine_);
    }

private:
    common::ReceiveStats& stats() { return stats_; }

    void fullTick() {
        if (read(stats_.receiving) != 0) {
            common::add(stats_.seconds);
            if (console_.dialog().checked(kUnknownCheck)) readChannelStatus();
        }
        StatusSample sample;
        sample.tick = ++ticks_;
        common::rollSecond(stats_);
        keepSlots(sample);
        writeChannelLines();
        std::array<std::uint8_t, kCounterAnswerSize> counters{};
        const std::uint32_t bytes = refreshDriverCounters(counters);
        sample.dropped = droppedSinceLastTick(counters, bytes);
        writeReceptionLine();
        if (watching_) runWatch();
        history_.push(sample);
    }

    // Reads category 1 into answer (zero-filled first, so a failed request
    // shows zeros) and writes the NormalC and ErrorC lines from it. Returns
    // the byte count.
    std::uint32_t refreshDriverCounters(std::span<std::uint8_t, kCounterAnswerSize> answer) {
        const std::uint32_t bytes = console_.link().deviceInfo(kCounterCategory, answer);
        auto word = [&answer](std::size_t w) { return loadU32(answer, 4 * w); };
        normalLine_ = line_.format("T:%04X I:%04X S:%04X M:%04X", word(0) & kTwelveBits, word(1) & kTwelveBits,
                                   word(2) & kTwelveBits, word(3) & kTwelveBits);
        errorLine_ = line_.format("T:%d D:%d S:%d V:%d", asInt(word(9)), asInt(word(10)), asInt(word(11)),
                                  asInt(word(12)));
        console_.dialog().setText(kNormalLine, normalLine_);
        console_.dialog().setText(kErrorLine, errorLine_);
        return bytes;
    }

    // The channel status pair: read the words, make each channel's status
    // byte of its two words, then acknowledge.
    void readChannelStatus() {
        std::array<std::uint8_t, kChannelStatusSize> buf{};
        driver::DriverLink& link = console_.link();
        if (link.channelStatus(buf) >= kChannelStatusSize) {
            for (std::size_t k = 0; k < kChannelCount; ++k) {
                const std::uint32_t high = loadU32(buf, 4 * k) & 0xFF;
                const std::uint32_t low = loadU32(buf, 4 * (k + 4)) & 0xFF;
                common::set(stats().slotTable[k].statusByte, (high * 16 + low) & 0xFF);
            }
        }
        driver::storeU32(buf, 0, 0);
        link.acknowledgeChannelStatus(buf);
    }

    // The second just rolled, for the statistics window.
    void keepSlots(StatusSample& sample) {
        for (std::size_t i = 0; i < kSlotCount; ++i) {
            const common::StreamSlot& slot = stats().slotTable[i];
            sample.bitRate[i] = read(slot.bitRate);
            sample.blocks[i] = read(slot.plainLastSecond) + read(slot.markedLastSecond);
            if (i < kChannelCount) sample.previews[i] = read(slot.previewLastSecond);
        }
    }

    void writeChannelLines() {
        ui::Dialog& d = console_.dialog();
        for (std::size_t k = 0; k < kChannelCount; ++k) {
            const common::StreamSlot& main = stats().slotTable[k];
            const common::StreamSlot& sub = stats().slotTable[k + kChannelCount];
            d.setText(kChannelLines[k],
                      line_.format("CH%d:FN:%04X BR:%03dkb %d/%d/%d/%d %02X", static_cast<int>(k + 1),
                                   read(main.blockCount), asInt(read(main.bitRate) >> 10),
                                   asInt(read(main.plainLastSecond)), asInt(read(main.markedLastSecond)),
                                   asInt(read(main.previewLastSecond)), asInt(read(sub.plainLastSecond)),
                                   read(main.statusByte) & 0xFF));
        }
    }

    void writeReceptionLine() {
        const common::ReceiveCounters& c = stats().counters;
        const std::uint32_t seconds = read(stats_.seconds);
        console_.dialog().setText(
            kReceptionLine,
            line_.format("S:%04X T:%04X E:%04X G:%04X P:%04X L:%04u M:%04u R:%dk", seconds & kTwelveBits,
                         read(c.wakeUps) & kTwelveBits, read(c.encodedNotices) & kTwelveBits,
                         read(c.originalVideoNotices) & kTwelveBits, read(c.previewNotices) & kTwelveBits,
                         // Lengths are unsigned: a huge one must not show as negative.
                         read(c.lastEncodedLength), read(c.largestLastSecond),
                         asInt(read(c.bytesLastSecond) >> 10)));
    }

    void runWatch() {
        ui::Dialog& d = console_.dialog();
        const std::size_t n = std::min(d.lineCount(kWatchAddresses), kWatchLines);
        watchText_.clear();
        for (std::size_t i = 0; i < n; ++i) {
            std::array<std::uint32_t, 1> word{};
            console_.link().readWords(kWatchWindow, common::parseTypedNumber(d.line(kWatchAddresses, i)), word);
            watchText_ += line_.format("0x%08X\r\n", word[0]);
        }
        d.setText(kWatchValues, watchText_);
    }

    void switchWatch(bool on) {
        watching_ = on;
        console_.dialog().setReadOnly(kWatchAddresses, on);
        console_.dialog().setReadOnly(kWatchValues, on);
    }

    // Records dropped since the last tick of the same device; 0 when there is
    // nothing to compare with (first tick, another device, a failed read).
    std::uint32_t droppedSinceLastTick(std::span<const std::uint8_t> counters, std::uint32_t bytes) {
        const std::uint64_t device = console_.link().context().device().value;
        const bool known = bytes >= (kDroppedItemsWord + 1) * 4;
        const std::uint32_t now = known ? loadU32(counters, kDroppedItemsWord * 4) : 0;
        const bool comparable = known && haveDropped_ && device == droppedDevice_;
        const std::uint32_t delta = comparable ? now - lastDropped_ : 0;
        haveDropped_ = known;
        lastDropped_ = now;
        droppedDevice_ = device;
        return delta;
    }

    ui::ConsoleSeam& console_;
    common::ReceiveStats& stats_;
    StatusHistory history_;
    std::string normalLine_;
    std::string errorLine_;
    bool watching_ = false;
    LineBuffer line_;
    std::string watchText_;
    std::uint64_t ticks_ = 0;
    bool haveDropped_ = false;
    std::uint32_t lastDropped_ = 0;
    std::uint64_t droppedDevice_ = 0;
};

}  // namespace


std::unique_ptr<StatusMonitor> attachStatusMonitor(ui::ConsoleSeam& console, common::ReceiveStats& stats) {
    return std::make_unique<StatusMonitorImpl>(console, stats);
}

}  // namespace pemblor::status
