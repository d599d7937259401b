// The fifteen information categories of request 0x2220c0. Each answer is 256
// bytes of words drawn from the card's state, unless the settings fix it.
#include <algorithm>
#include <string_view>

#include "driver/little_endian.hpp"
#include "driver/request_codes.hpp"
#include "sim/card/sim_answer.hpp"
#include "sim/card/sim_card.hpp"

namespace pemblor::sim {

using driver::ControlResult;
using driver::loadU32;
using driver::storeU32;

namespace {

constexpr std::uint32_t kDspClockHz = 600000000;
constexpr std::uint32_t kExternalMemorySize = 128u << 20;
constexpr std::uint32_t kFastTimerMs = 40;
constexpr std::size_t kDebugTemplateOffset = 16;
constexpr std::string_view kDebugTemplate = "DSP state %d, load %u%%, errors 0x%08X";

constexpr std::uint32_t word(std::size_t value) { return static_cast<std::uint32_t>(value); }

void storeWords(std::span<std::uint8_t> a, std::initializer_list<std::uint32_t> words) {
    std::size_t at = 0;
    for (std::uint32_t w : words) {
        storeU32(a, at, w);
        at += 4;
    }
}

void storeText(std::span<std::uint8_t> a, std::size_t at, std::string_view text) {
    std::copy(text.begin(), text.end(), a.begin() + static_cast<std::ptrdiff_t>(at));
}

}  // namespace

ControlResult SimCard::deviceInfo(const Request& r) {
    if (r.in.size() != 8) return kRefused;
    const std::uint32_t category = loadU32(r.in, 0);
    if (category >= kCategoryCount || loadU32(r.in, 4) != 0) return kRefused;
    ++infoRequests_;
    std::array<std::uint8_t, kMaxInfoAnswer> answer{};
    const std::size_t length = std::min(categoryAnswer(category, answer), r.out.size());
    std::copy_n(answer.begin(), length, r.out.begin());
    return done(length);
}

std::size_t SimCard::categoryAnswer(std::uint32_t category, std::span<std::uint8_t, kMaxInfoAnswer> a) {
    if (const auto fixed = settings_.info.find(category); fixed != settings_.info.end()) {
        std::copy(fixed->second.begin(), fixed->second.end(), a.begin());
        return fixed->second.size();
    }
    switch (category) {
        case 0: generalInfo(a); break;
        case 1: counterInfo(a); break;
        case 2: dspDeviceInfo(a); break;
        case 3: channelInfo(a); break;
        case 4: busSlotInfo(a); break;
        case 5: encodedDmaInfo(a); break;
        case 6: previewDmaInfo(a); break;
        case 7: interruptInfo(a); break;
        case 8: timerInfo(a); break;
        case 9: dspDebugInfo(a); break;
        case 11: primalDataHeader(a); break;
        case 12: messageInfo(a); break;
        case 13: hardwareVersionInfo(a); break;
        case 14: commandListInfo(a); break;
        default: break;  // 10: no encoded block header yet
    }
    return kMaxInfoAnswer;
}

void SimCard::generalInfo(std::span<std::uint8_t> a) {
    storeWords(a, {settings_.version, settings_.hardware[0], settings_.hardware[1], slot_,
                   word(static_cast<std::size_t>(number_)), word(kChannelCount), dsp_.state(SimClock::now()),
                   word(areas_.liveMappings())});
    storeText(a, 32, serial_);
}

// Words 0..3 ("NormalC") and 9, 11, 12 ("ErrorC") move with every read-out,
// each from its own base at its own pace, so a console that shows the wrong
// word is caught. Word 0 counts every request, word 9 the refused ones too.
// Word 10 (ErrorC "D") counts the items the card dropped because the console
// fetched too slowly: loss shows on the console's status line. Words 4..8:
// records handed out, fetches that handed some out, items waiting, items left
// undelivered when reception ended, stream blocks handed out.
void SimCard::counterInfo(std::span<std::uint8_t> a) {
    ++counterReads_;
    const std::uint32_t n = counterReads_;
    const DeliveryLedger& ledger = reception_.ledger();
    std::uint64_t blocks = 0;
    for (const SlotTally& slot : ledger.streamSlots()) blocks += slot.blocks;
    storeWords(a, {requests_, 0x100 + 5 * n, 0x200 + memoryRequests_ + 8 * n, 0x300 + n,
                   static_cast<std::uint32_t>(ledger.records()), static_cast<std::uint32_t>(ledger.fetches()),
                   word(reception_.queued()), static_cast<std::uint32_t>(ledger.undelivered()),
                   static_cast<std::uint32_t>(blocks), failures_ + 7 * n,
                   static_cast<std::uint32_t>(ledger.drops().total()), 200 + 3 * n, 300 + 4 * n});
}

void SimCard::dspDeviceInfo(std::span<std::uint8_t> a) {
    const auto now = SimClock::now();
    const auto since = dsp_.runningSince(now);
    const auto ranMs = since ? std::chrono::duration_cast<std::chrono::milliseconds>(now - *since).count() : 0;
    const ClockRecord clock = dsp_.clock().value_or(ClockRecord{});
    storeWords(a, {dsp_.state(now), dsp_.blocksLoaded(), dsp_.bytesLoaded(), dsp_.dma(), dsp_.clock() ? 1u : 0u,
                   clock[0], clock[1], clock[2], clock[3], clock[4], clock[5], static_cast<std::uint32_t>(ranMs),
                   kDspClockHz, kExternalMemorySize, word(memory_.dsp().pagesInUse()), loopFailed_ ? 1u : 0u});
}

void SimCard::channelInfo(std::span<std::uint8_t> a) const {
    for (std::size_t ch = 0; ch < kChannelCount; ++ch)
        storeWords(a.subspan(ch * 16), {static_cast<std::uint32_t>(ch), dsp_.encoding()[ch] ? 1u : 0u,
                                        dsp_.pictures()[ch] ? 1u : 0u, 0});
}

void SimCard::busSlotInfo(std::span<std::uint8_t> a) const {
    storeWords(a, {2, slot_, 0, slot_, 11});  // bus, device, function, slot, interrupt line
}

void SimCard::encodedDmaInfo(std::span<std::uint8_t> a) const {
    storeWords(a, {areas_.currentToken(AreaKind::EncodedStream), word(kEncodedStreamAreaSize), 0, word(kStreamCount)});
}

void SimCard::previewDmaInfo(std::span<std::uint8_t> a) const {
    storeWords(a, {areas_.currentToken(AreaKind::PreviewSlots), word(driver::kPreviewSlotSize),
                   word(kPreviewSlotCount), areas_.currentToken(AreaKind::FullPreview), word(kFullPreviewAreaSize),
                   word(kPictureWidth), word(kPictureHeight)});
}

void SimCard::interruptInfo(std::span<std::uint8_t> a) const {
    storeWords(a, {requests_, infoRequests_, memoryRequests_, failures_});
}

void SimCard::timerInfo(std::span<std::uint8_t> a) const {
    storeWords(a, {kFastTimerMs, counterReads_});
}

// Word 0 numbers the read-outs; words 1..3 are the template's arguments.
void SimCard::dspDebugInfo(std::span<std::uint8_t> a) {
    ++debugReads_;
    const std::uint32_t state = dsp_.state(SimClock::now());
    const std::uint32_t load = state == kDspStateRunning ? 40 + debugReads_ % 20 : 0;
    storeWords(a, {debugReads_, state, load, failures_});
    storeText(a, kDebugTemplateOffset, kDebugTemplate);  // the zeroed answer ends it with a NUL
}

void SimCard::primalDataHeader(std::span<std::uint8_t> a) const {
    storeWords(a, {word(kPictureWidth), word(kPictureHeight), 422, word(kOriginalVideoAreaSize),
                   areas_.currentToken(AreaKind::OriginalVideo)});
}

// The last doorbell message: source (1 DSP, 2 PCI), its count word, the
// number of messages so far, then its first bytes.
void SimCard::messageInfo(std::span<std::uint8_t> a) const {
    constexpr std::size_t kTextAt = 16;
    storeWords(a, {static_cast<std::uint32_t>(message_.source), message_.count, message_.received, 0});
    const std::size_t n = std::min<std::size_t>({message_.count, kMaxMessageBytes, a.size() - kTextAt});
    std::copy_n(message_.bytes.begin(), n, a.begin() + kTextAt);
}

void SimCard::hardwareVersionInfo(std::span<std::uint8_t> a) const {
    storeWords(a, {settings_.hardware[0], settings_.hardware[1], settings_.version});
    storeText(a, 16, serial_);
}

// The requests this card answers: count, then the codes.
void SimCard::commandListInfo(std::span<std::uint8_t> a) const {
    std::uint32_t count = 0;
    for (const Route& route : routes()) {
        if ((count + 2) * 4 > a.size()) break;
        storeU32(a, (count + 1) * 4, route.code);
        ++count;
    }
    storeU32(a, 0, count);
}

}  // namespace pemblor::sim
