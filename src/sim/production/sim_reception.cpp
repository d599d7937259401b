#include "sim/production/sim_reception.hpp"

#include <algorithm>

#include "driver/little_endian.hpp"

namespace pemblor::sim {

using driver::storeU32;

namespace {

constexpr std::uint32_t kMarkedBlockWord = 0xF0010000;
constexpr std::size_t kMarkedPayload = 16;
// Word 16 of a debug record: what kind of record it is (a periodic status).
constexpr std::uint32_t kDebugStatusRecord = 0x12;
// With the malformed fault, one fetch in this many is malformed.
constexpr std::uint64_t kMalformedEvery = 40;

AreaKind areaOf(Place place) {
    switch (place) {
        case Place::Run:
        case Place::Debug: return AreaKind::EncodedStream;
        case Place::OriginalVideo: return AreaKind::OriginalVideo;
        case Place::FullPreview: return AreaKind::FullPreview;
        default: return AreaKind::PreviewSlots;
    }
}

// Where a record's bytes start in its area.
std::size_t offsetOf(Place place) {
    switch (place) {
        case Place::Debug: return kDebugRegionOffset;
        case Place::PreviewSlot0:
        case Place::PreviewSlot1:
        case Place::PreviewSlot2:
        case Place::PreviewSlot3:
            return (static_cast<std::size_t>(place) - static_cast<std::size_t>(Place::PreviewSlot0)) *
                   driver::kPreviewSlotSize;
        default: return 0;
    }
}

void writeBlock(const Delivery& d, std::span<std::uint8_t> out) {
    storeU32(out, 0, d.size);
    storeU32(out, 4, d.channel);
    const auto payload = out.subspan(kBlockHeaderSize);
    if (d.marked) {
        storeU32(payload, 0, kMarkedBlockWord);
        storeU32(payload, 4, d.number);
        storeU32(payload, 8, d.stamp);
        storeU32(payload, 12, 0);
    } else if (d.payload) {
        std::copy_n(d.payload, payload.size(), payload.begin());
    }
}

// Words 0..3 and 16 are what the console prints: sequence number, the
// program's milliseconds, the channel switches (bits 0..3 encoding, 4..7
// pictures), the items the card dropped so far; then the record's kind.
void writeDebugRecord(const Delivery& d, std::uint64_t dropped, std::span<std::uint8_t> out) {
    std::fill(out.begin(), out.end(), std::uint8_t{0});
    storeU32(out, 0, d.number);
    storeU32(out, 4, d.stamp);
    storeU32(out, 8, d.channel);
    storeU32(out, 12, static_cast<std::uint32_t>(dropped));
    storeU32(out, 64, kDebugStatusRecord);
}

}  // namespace

SimReception::SimReception(std::size_t queueItems, std::shared_ptr<const ReplayScript> replay, bool malformed,
                           bool loop)
    : queue_(queueItems), replay_(std::move(replay)), malformed_(malformed) {
    plan_.items.reserve(queue_.capacity());
    if (replay_) cursor_.emplace(replay_, loop);
}

void SimReception::registerEvent(std::uint64_t handle, driver::EventHandle event, SimClock::time_point now) {
    if (event_) end();
    event_ = event;
    handle_ = handle;
    if (cursor_) cursor_->restart(now);
}

void SimReception::end() {
    ledger_.undelivered(queue_.size());
    queue_.clear();
    event_.reset();
}

bool SimReception::waiting(SimClock::time_point now) const {
    if (!event_) return false;
    if (cursor_) return cursor_->left() && *cursor_->due() <= now;
    return !queue_.empty();
}

std::optional<SimClock::time_point> SimReception::replayDue() const {
    if (!event_ || !cursor_) return std::nullopt;
    return cursor_->due();
}

void SimReception::push(const Delivery& d) {
    if (!event_ || replay_) return;
    Delivery dropped;
    if (queue_.push(d, dropped)) ledger_.dropped(dropped);
}

std::size_t SimReception::fetch(std::span<std::uint8_t> out, MappedAreas& areas, PictureSource* pictures,
                                SimClock::time_point now) {
    const std::size_t room = std::min(out.size() / driver::kNotificationSize, kMaxRecordsPerFetch);
    if (!event_ || room == 0) return 0;
    if (cursor_) return fetchReplay(out, areas, now);
    if (malformed_ && !queue_.empty() && ++answered_ % kMalformedEvery == 0) return fetchMalformed(out, areas);
    queue_.take(room, plan_);
    if (plan_.recordCount == 0) return 0;
    ledger_.fetch();
    for (std::size_t r = 0; r < plan_.recordCount; ++r) writeRecord(plan_.records[r], out, r, areas, pictures);
    return plan_.recordCount * driver::kNotificationSize;
}

void SimReception::writeRecord(const PlannedRecord& r, std::span<std::uint8_t> out, std::size_t index,
                               MappedAreas& areas, PictureSource* pictures) {
    const std::span<std::uint8_t> area = areas.storage(areaOf(r.place));
    const std::size_t offset = offsetOf(r.place);
    // The plan keeps every record inside its place, so this only fails without memory.
    const bool fits = offset <= area.size() && r.bytes <= area.size() - offset;
    const Delivery& first = plan_.items[r.firstItem];
    const std::uint32_t bytes = fits ? static_cast<std::uint32_t>(r.bytes) : 0;
    const auto record = out.subspan(index * driver::kNotificationSize, driver::kNotificationSize);
    storeU32(record, 0, r.code);
    switch (r.place) {
        case Place::Run:
        case Place::Debug:
            storeU32(record, 4, static_cast<std::uint32_t>(r.itemCount));
            storeU32(record, 8, static_cast<std::uint32_t>(offset));
            break;
        default:  // a picture: its channel and number
            storeU32(record, 4, first.channel);
            storeU32(record, 8, first.number);
            break;
    }
    storeU32(record, 12, bytes);
    if (fits) writeItems(r, area.subspan(offset, r.bytes), pictures);
    ledger_.record();
    account(r.code, bytes, areas);
}

void SimReception::writeItems(const PlannedRecord& r, std::span<std::uint8_t> area, PictureSource* pictures) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < r.itemCount; ++i) {
        const Delivery& d = plan_.items[r.firstItem + i];
        const auto out = area.subspan(at, d.size);
        if (r.place == Place::Run)
            writeBlock(d, out);
        else if (r.place == Place::Debug)
            writeDebugRecord(d, ledger_.drops().total(), out);
        else if (pictures)
            pictures->render(d, out);
        else
            std::fill(out.begin(), out.end(), std::uint8_t{0});
        at += d.size;
    }
}

// A replayed fetch, once due: its bytes go into the areas first, then its records are answered.
std::size_t SimReception::fetchReplay(std::span<std::uint8_t> out, MappedAreas& areas, SimClock::time_point now) {
    const ReplayFetch* next = cursor_->take(now);
    if (!next) return 0;
    const ReplayFetch& f = *next;
    for (const ReplayArea& a : f.areas) {
        const std::span<std::uint8_t> area = areas.storage(static_cast<AreaKind>(a.word / 4));
        if (a.offset > area.size() || a.size() > area.size() - a.offset) continue;
        if (a.data)
            a.data->read(a.from, area.subspan(a.offset, a.length));
        else
            std::copy(a.bytes.begin(), a.bytes.end(), area.begin() + a.offset);
    }
    ledger_.fetch();
    const std::size_t n = std::min(f.records.size(), out.size() / driver::kNotificationSize);
    for (std::size_t i = 0; i < n; ++i) {
        for (std::size_t w = 0; w < 4; ++w) storeU32(out, i * driver::kNotificationSize + w * 4, f.records[i][w]);
        ledger_.record();
        account(f.records[i][0], f.records[i][3], areas);
    }
    return n * driver::kNotificationSize;
}

// A fetch of one malformed code-18 record, in turn: a block header whose
// total is below 8, or a run longer than the area. The card's own items wait
// for the next fetch, and the area holds nothing a careful walk could take:
// the short header stops it, and so does the empty header at the start of
// the too-long run.
std::size_t SimReception::fetchMalformed(std::span<std::uint8_t> out, MappedAreas& areas) {
    const std::span<std::uint8_t> area = areas.storage(AreaKind::EncodedStream);
    if (area.size() < 16) return 0;
    const bool shortHeader = (answered_ / kMalformedEvery) % 2 == 1;
    std::fill_n(area.begin(), 16, std::uint8_t{0});
    if (shortHeader) storeU32(area, 0, 4);
    const std::uint32_t n = shortHeader ? 16 : static_cast<std::uint32_t>(area.size() + 4096);
    storeU32(out, 0, kCodeStreamBlocks);
    storeU32(out, 4, 1);
    storeU32(out, 8, 0);
    storeU32(out, 12, n);
    ledger_.fetch();
    ledger_.record();
    ledger_.malformed();
    account(kCodeStreamBlocks, n, areas);
    return driver::kNotificationSize;
}

void SimReception::account(std::uint32_t code, std::uint32_t byteCount, MappedAreas& areas) {
    switch (code) {
        case kCodeStreamBlocks: ledger_.streamRun(areas.storage(AreaKind::EncodedStream), byteCount); break;
        case kCodeOriginalVideo: ledger_.originalVideo(areas.storage(AreaKind::OriginalVideo), byteCount); break;
        case kCodeDebugRecords: ledger_.debugRecords(byteCount); break;
        case kCodePreviewCif:
        case kCodePreviewQcif:
        case kCodePreviewNtscCif:
        case kCodeFullPreview: ledger_.preview(code); break;
        default: break;
    }
}

}  // namespace pemblor::sim
