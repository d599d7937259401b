#include "sim/card/sim_card.hpp"

#include <algorithm>

#include "driver/little_endian.hpp"
#include "driver/request_codes.hpp"
#include "sim/card/sim_answer.hpp"

namespace pemblor::sim {

using driver::ControlResult;
using driver::loadU32;
using driver::storeU32;

namespace {

constexpr std::size_t kMemoryHeaderSize = 12;
constexpr std::size_t kStatusBytes = 32;

// Header of the memory requests: bar, offset, count.
struct MemoryHeader {
    std::uint32_t bar, offset, count;
};

MemoryHeader memoryHeader(std::span<const std::uint8_t> in) {
    return {loadU32(in, 0), loadU32(in, 4), loadU32(in, 8)};
}

}  // namespace

// One row per request the card answers; later requests are later rows.
std::span<const SimCard::Route> SimCard::routes() {
    static constexpr Route kRoutes[] = {
        {driver::kReadWords, &SimCard::readWords},
        {driver::kWriteWords, &SimCard::writeWords},
        {driver::kReadBytes, &SimCard::readBytes},
        {driver::kWriteBytes, &SimCard::writeBytes},
        {driver::kDeviceInfo, &SimCard::deviceInfo},
        {driver::kAuxCommand, &SimCard::auxCommand},
        {driver::kDriverVersion, &SimCard::driverVersion},
        {driver::kHardwareInfo, &SimCard::hardwareInfo},
        {driver::kSlotInfo, &SimCard::slotInfo},
        {driver::kMapAddresses, &SimCard::mapAddresses},
        {driver::kUnmapAddresses, &SimCard::unmapAddresses},
        {driver::kDspState, &SimCard::dspState},
        {driver::kDspReset, &SimCard::dspReset},
        {driver::kDspInterrupt, &SimCard::dspInterrupt},
        {driver::kDspLoadBlock, &SimCard::loadBlock},
        {driver::kRegisterEvent, &SimCard::registerEvent},
        {driver::kFetchNotifications, &SimCard::fetchNotifications},
        {driver::kSetDspTime, &SimCard::setDspTime},
        {driver::kSetDmaVaddr, &SimCard::setDmaVaddr},
        {driver::kSetDmaOaddr, &SimCard::setDmaOaddr},
        {driver::kChannelSwitch, &SimCard::channelSwitch},
        {driver::kSubChannelSwitch, &SimCard::subChannelSwitch},
        {driver::kChannelStatus, &SimCard::channelStatus},
        {driver::kChannelStatusAck, &SimCard::channelStatusAck},
    };
    return kRoutes;
}

const SimCard::Route* SimCard::findRoute(std::uint32_t code) {
    for (const Route& route : routes())
        if (route.code == code) return &route;
    return nullptr;
}

SimCard::SimCard(int number, CardSettings settings, TokenSource& tokens, EventTable& events)
    : number_(number),
      settings_(std::move(settings)),
      serial_(settings_.serial.value_or(defaultSerial(number))),
      slot_(settings_.slot.value_or(defaultSlot(number))),
      tokens_(tokens),
      events_(events),
      createdAt_(SimClock::now()),
      memory_(settings_.faults.stuck),
      dsp_(settings_.dspMode, std::chrono::milliseconds(settings_.bootMs), SimClock::now()),
      reception_(settings_.queueItems, settings_.replay, settings_.faults.malformed, settings_.replayLoop),
      production_(settings_) {
    // Power-up values of the decoder chip: a fixed byte per register, so
    // that a read shows something a cleared buffer would not.
    for (std::size_t reg = 0; reg < kDecoderRegisterCount; ++reg)
        decoderRegisters_[reg] = static_cast<std::uint32_t>((reg * 37 + 0x15) & 0xFF);
}

SimCard::~SimCard() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (producer_.joinable()) producer_.join();
}

bool SimCard::present() {
    std::lock_guard lock(mutex_);
    return !gone(SimClock::now());
}

// A card set to vanish is gone from then on: what waited is left undelivered.
bool SimCard::gone(SimClock::time_point now) {
    if (!settings_.faults.vanishAfterMs || now - createdAt_ < std::chrono::milliseconds(*settings_.faults.vanishAfterMs))
        return false;
    if (reception_.event()) reception_.end();
    return true;
}

ControlResult SimCard::control(std::uint64_t handle, std::uint32_t code, std::span<const std::uint8_t> in,
                               std::span<std::uint8_t> out) {
    std::lock_guard lock(mutex_);
    if (gone(SimClock::now())) return kRefused;
    ++requests_;
    const Route* route = settings_.faults.failingCodes.contains(code) ? nullptr : findRoute(code);
    ControlResult result = route ? (this->*route->handler)(Request{handle, in, out}) : kRefused;
    if (!result.ok) {
        ++failures_;
        result.bytes = 0;
    }
    result.bytes = std::min<std::uint32_t>(result.bytes, static_cast<std::uint32_t>(out.size()));
    return result;
}

std::span<std::uint8_t> SimCard::area(std::uint32_t word) {
    std::lock_guard lock(mutex_);
    return areas_.resolve(word);
}

void SimCard::handleClosed(std::uint64_t handle) {
    std::lock_guard lock(mutex_);
    areas_.dropHandle(handle);
    reception_.handleClosed(handle);
}

// --- identity and mapping ----------------------------------------------------------

ControlResult SimCard::driverVersion(const Request& r) {
    if (!r.in.empty() || r.out.size() < 8) return kRefused;
    storeU32(r.out, 0, settings_.version);
    storeU32(r.out, 4, 0);
    return done(8);
}

ControlResult SimCard::hardwareInfo(const Request& r) {
    if (!r.in.empty() || r.out.size() < 32) return kRefused;
    storeU32(r.out, 0, settings_.hardware[0]);
    storeU32(r.out, 4, settings_.hardware[1]);
    const auto serial = r.out.subspan(8, kMaxSerialLength);
    std::fill(serial.begin(), serial.end(), std::uint8_t{0});
    std::copy_n(serial_.begin(), std::min(serial_.size(), kMaxSerialLength), serial.begin());
    std::fill(r.out.begin() + 24, r.out.begin() + 32, std::uint8_t{0});
    return done(32);
}

ControlResult SimCard::slotInfo(const Request& r) {
    if (!r.in.empty() || r.out.size() < 16) return kRefused;
    storeU32(r.out, 0, 2);       // bus number
    storeU32(r.out, 4, slot_);   // device number on the bus
    storeU32(r.out, 8, 0);       // function
    storeU32(r.out, 12, slot_);  // slot ID, the word the console shows
    return done(16);
}

ControlResult SimCard::mapAddresses(const Request& r) {
    if (!r.in.empty() || r.out.size() < kMappingRecordBytes || settings_.faults.refuseMapping) return kRefused;
    if (!areas_.map(r.handle, r.out.first<kMappingRecordBytes>(), tokens_)) return kRefused;
    return done(kMappingRecordBytes);
}

ControlResult SimCard::unmapAddresses(const Request& r) {
    if (r.in.size() != kMappingRecordBytes || !areas_.unmap(r.in)) return kRefused;
    return done(0);
}

// --- memory windows ----------------------------------------------------------------
// Writes have no output area, so they report 0 bytes: the transport never
// reports more than the caller's output area holds.

ControlResult SimCard::readWords(const Request& r) {
    if (r.in.size() != kMemoryHeaderSize) return kRefused;
    const MemoryHeader h = memoryHeader(r.in);
    const std::uint64_t bytes = std::uint64_t{h.count} * 4;
    ++memoryRequests_;
    if (bytes > r.out.size() || !memory_.read(h.bar, h.offset, r.out.first(bytes))) return kRefused;
    return done(bytes);
}

ControlResult SimCard::writeWords(const Request& r) {
    if (r.in.size() < kMemoryHeaderSize) return kRefused;
    const MemoryHeader h = memoryHeader(r.in);
    const auto data = r.in.subspan(kMemoryHeaderSize);
    ++memoryRequests_;
    if (data.size() != std::uint64_t{h.count} * 4 || !memory_.write(h.bar, h.offset, data)) return kRefused;
    if (h.bar == 1) bar1Written(h.offset, data.size());
    return done(0);
}

ControlResult SimCard::readBytes(const Request& r) {
    if (r.in.size() != kMemoryHeaderSize) return kRefused;
    const MemoryHeader h = memoryHeader(r.in);
    ++memoryRequests_;
    if (h.count > r.out.size() || !memory_.read(h.bar, h.offset, r.out.first(h.count))) return kRefused;
    return done(h.count);
}

ControlResult SimCard::writeBytes(const Request& r) {
    if (r.in.size() < kMemoryHeaderSize) return kRefused;
    const MemoryHeader h = memoryHeader(r.in);
    const auto data = r.in.subspan(kMemoryHeaderSize);
    ++memoryRequests_;
    if (data.size() != h.count || !memory_.write(h.bar, h.offset, data)) return kRefused;
    if (h.bar == 1) bar1Written(h.offset, data.size());
    return done(0);
}

// --- channels and DSP --------------------------------------------------------------

ControlResult SimCard::switchChannel(const Request& r, std::array<bool, kChannelCount>& switches) {
    if (r.in.size() != 8) return kRefused;
    const std::uint32_t channel = loadU32(r.in, 0);
    const std::uint32_t on = loadU32(r.in, 4);
    if (channel >= kChannelCount || on > 1) return kRefused;
    switches[channel] = on == 1;
    poke();
    return done(0);
}

ControlResult SimCard::channelSwitch(const Request& r) { return switchChannel(r, dsp_.encoding()); }
ControlResult SimCard::subChannelSwitch(const Request& r) { return switchChannel(r, dsp_.pictures()); }

// Words 0..3: encoding of channels 1..4 on; words 4..7: their pictures.
ControlResult SimCard::writeStatusWords(const Request& r) {
    if (r.out.size() < kStatusBytes) return kRefused;
    for (std::size_t ch = 0; ch < kChannelCount; ++ch) {
        storeU32(r.out, ch * 4, dsp_.encoding()[ch] ? 1 : 0);
        storeU32(r.out, 16 + ch * 4, dsp_.pictures()[ch] ? 1 : 0);
    }
    return done(kStatusBytes);
}

ControlResult SimCard::channelStatus(const Request& r) {
    if (!r.in.empty()) return kRefused;
    return writeStatusWords(r);
}

ControlResult SimCard::channelStatusAck(const Request& r) {
    if (r.in.size() != 4) return kRefused;
    return writeStatusWords(r);
}

ControlResult SimCard::dspState(const Request& r) {
    if (!r.in.empty() || r.out.size() < 4) return kRefused;
    storeU32(r.out, 0, dsp_.state(SimClock::now()));
    return done(4);
}

ControlResult SimCard::dspReset(const Request& r) {
    if (!r.in.empty()) return kRefused;
    resetDsp();
    return done(0);
}

// A reset stops the program and the encoder, so the channels are off
// afterwards, and puts the bar 0 view back on page 0.
void SimCard::resetDsp() {
    dsp_.reset();
    memory_.setBar1Word(kDsppOffset, 0);
}

ControlResult SimCard::dspInterrupt(const Request& r) {
    if (!r.in.empty()) return kRefused;
    dsp_.interrupt(SimClock::now());
    poke();
    return done(0);
}

// The block's bytes go into the DSP's memory, where the windows show them;
// the answer's word 1 counts the bytes taken, header included.
ControlResult SimCard::loadBlock(const Request& r) {
    constexpr std::size_t kHeader = 8;
    if (r.in.size() < kHeader || r.out.size() < 8) return kRefused;
    const std::uint32_t index = loadU32(r.in, 0);
    auto data = r.in.subspan(kHeader);
    if (!DspMemory::inside(loadU32(r.in, 4), data.size())) return kRefused;
    // A block the card is set to refuse loses its last four bytes, and says so.
    const std::size_t lost = index == settings_.faults.refuseBlock ? 4 : 0;
    data = data.first(data.size() - std::min(lost, data.size()));
    if (!memory_.dsp().write(loadU32(r.in, 4), data)) return kRefused;
    dsp_.blockLoaded(data.size());
    storeU32(r.out, 0, index);
    storeU32(r.out, 4, static_cast<std::uint32_t>(r.in.size() - lost));
    return done(8);
}

ControlResult SimCard::setDspTime(const Request& r) {
    if (r.in.size() != 24) return kRefused;
    ClockRecord clock{};
    for (std::size_t i = 0; i < clock.size(); ++i) clock[i] = loadU32(r.in, i * 4);
    dsp_.setClock(clock, SimClock::now());
    return done(0);
}

ControlResult SimCard::setDmaVaddr(const Request& r) {
    if (!r.in.empty()) return kRefused;
    dsp_.setDma(kDmaVaddr);
    poke();
    return done(0);
}

ControlResult SimCard::setDmaOaddr(const Request& r) {
    if (!r.in.empty()) return kRefused;
    dsp_.setDma(kDmaOaddr);
    poke();
    return done(0);
}

// --- bar 1 registers -----------------------------------------------------------------

void SimCard::bar1Written(std::uint32_t offset, std::size_t length) {
    if (MemoryWindows::touches(offset, length, kHdcrOffset)) {
        const std::uint32_t hdcr = memory_.bar1Word(kHdcrOffset);
        if (hdcr & kHdcrWarmReset) resetDsp();
        if (hdcr & kHdcrDspInterrupt) ringDoorbell(MessageSource::Dsp);
    }
    if (MemoryWindows::touches(offset, length, kRstsrcOffset) &&
        (memory_.bar1Word(kRstsrcOffset) & kRstsrcPciInterrupt))
        ringDoorbell(MessageSource::Pci);
}

// The receiving side reads the count, then at most 512 bytes of the message,
// as the program on the other side would.
void SimCard::ringDoorbell(MessageSource source) {
    const std::uint32_t area = source == MessageSource::Dsp ? kDspMessageArea : kPciMessageArea;
    std::array<std::uint8_t, 4> count{};
    memory_.dsp().read(area, count);
    message_.source = source;
    message_.count = loadU32(count, 0);
    message_.bytes.fill(0);
    const std::size_t n = std::min<std::size_t>(message_.count, kMaxMessageBytes);
    memory_.dsp().read(area + kMessageTextOffset, std::span(message_.bytes).first(n));
    ++message_.received;
}

}  // namespace pemblor::sim
