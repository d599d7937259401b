#include "capture/receive_dispatch.hpp"

#include <algorithm>

#include "capture/debug_lines.hpp"
#include "capture/stream_walk.hpp"
#include "driver/little_endian.hpp"
#include "driver/request_codes.hpp"

namespace pemblor::capture {

using common::add;
using common::kChannelCount;
using common::kSlotCount;
using common::read;
using common::set;
using driver::loadU32;

ReceiveDispatcher::ReceiveDispatcher(const ReceiveAreas& areas, ReceptionHub& hub, RecordingSet& files)
    : areas_(areas), hub_(hub), stats_(hub.stats()), files_(files) {}

void ReceiveDispatcher::dispatch(std::span<const std::uint8_t, kFetchSize> records) {
    for (std::size_t at = 0; at < kFetchSize; at += kRecordSize) {
        if (hub_.closed()) return;
        const std::uint32_t code = loadU32(records, at);
        const std::uint32_t word1 = loadU32(records, at + 4);
        const std::uint32_t word2 = loadU32(records, at + 8);
        const std::uint32_t word3 = loadU32(records, at + 12);
        switch (code) {
            case kOriginalVideoReady: originalVideo(word3); break;
            case kStreamBlocksReady: streamBlocks(word3); break;
            case kDebugRecordsReady: debugRecords(word2, word3); break;
            case kPreviewReady0:
            case kPreviewReady1:
            case kPreviewReady2:
            case kFullPreviewReady: preview(code, word1); break;
            default: break;
        }
    }
    // The payloads were queued straight from the stream area, which the card
    // leaves alone until the next fetch: written now, before that fetch.
    for (std::size_t slot = 0; slot < kSlotCount; ++slot) files_.stream(slot).flush();
}

void ReceiveDispatcher::originalVideo(std::uint32_t count) {
    add(stats_.counters.originalVideoNotices);
    if (!hub_.saving() || count == 0) return;
    files_.video().append(areas_.video.first(std::min<std::size_t>(count, areas_.video.size())));
}

void ReceiveDispatcher::streamBlocks(std::uint32_t count) {
    common::ReceiveCounters& c = stats_.counters;
    add(c.encodedNotices);
    set(c.lastEncodedLength, count);
    // Only this thread raises it; the status monitor only takes it back to 0.
    std::uint32_t largest = read(c.largestThisSecond);
    while (count > largest && !c.largestThisSecond.compare_exchange_weak(largest, count, std::memory_order_relaxed)) {
    }
    add(c.bytesThisSecond, count);

    const bool save = hub_.saving();
    const bool playing = hub_.player().published();
    const std::uint32_t playSlot = hub_.playSlot();
    walkStreamBlocks(areas_.stream, count, [&](const StreamBlock& block) {
        // Counted before the payload is checked: the status lines show what the card announced.
        common::StreamSlot& slot = stats_.slotTable[block.slot];
        add(slot.blockCount);
        add(slot.byteAccumulator, block.payloadLength);
        add(slot.bytesReceived, block.payloadLength);
        add(block.marked ? slot.markedAccumulator : slot.plainAccumulator);
        if (!block.whole) {
            add(c.cutBlocks);
            return true;
        }
        if (beginsPicture(block.payload)) {
            add(slot.pictureCount);
            add(slot.pictureAccumulator);
        }
        if (save) files_.stream(block.slot).queue(block.payload);
        if (playing && block.slot == playSlot) {
            hub_.player().use([&](common::StreamFeed& player) { player.feedStream(block.payload); });
        }
        // A queue that filled up was written, which may have held the thread up past the console's end.
        return !hub_.closed();
    });
}

void ReceiveDispatcher::debugRecords(std::uint32_t offset, std::uint32_t count) {
    const std::size_t records = debugRecordCount(areas_.stream.size(), offset, count);
    if (records == 0) return;
    std::array<char, 16> timeBuffer{};
    const std::string_view timeText = formatDebugTime(hub_.now(), timeBuffer);
    // Lines are gathered into one write per message; a long message in pieces.
    std::array<char, 64 * kMaxDebugLine> text;
    std::size_t used = 0;
    add(stats_.counters.debugLines, static_cast<std::uint32_t>(records));
    RecordingFile& log = files_.debugLog();
    const auto write = [&] {
        log.append({reinterpret_cast<const std::uint8_t*>(text.data()), used});
        used = 0;
    };
    for (std::size_t i = 0; i < records; ++i) {
        const auto record = areas_.stream.subspan(offset + i * kDebugRecordSize).first<kDebugRecordSize>();
        used += formatDebugLine(timeText, record, std::span(text).subspan(used).first<kMaxDebugLine>());
        if (text.size() - used < kMaxDebugLine) write();
        if (hub_.closed()) return;
    }
    write();
}

void ReceiveDispatcher::preview(std::uint32_t code, std::uint32_t channel) {
    add(stats_.counters.previewNotices);
    if (channel >= kChannelCount) return;
    add(stats_.slotTable[channel].previewAccumulator);
    if (!hub_.preview().published()) return;
    const std::span<std::uint8_t> picture = previewPicture(code, channel);
    if (picture.empty()) return;
    hub_.preview().use([&](common::PreviewSink& sink) { sink.showPreviewFrame(channel, picture, code); });
}

std::span<std::uint8_t> ReceiveDispatcher::previewPicture(std::uint32_t code, std::uint32_t channel) const {
    if (code == kFullPreviewReady) return areas_.fullPreview;
    const std::size_t at = std::size_t{channel} * driver::kPreviewSlotSize;
    if (at >= areas_.previewSlots.size()) return {};
    return areas_.previewSlots.subspan(at);
}

}  // namespace pemblor::capture
