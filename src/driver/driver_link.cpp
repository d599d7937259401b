#include "driver/driver_link.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <limits>
#include <memory>
#include <new>

#include "driver/little_endian.hpp"

namespace pemblor::driver {
namespace {

// The platform carries request lengths and byte counts as 32-bit words.
constexpr std::size_t kMaxLength = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t kHeaderSize = 12;
constexpr std::size_t kLoadHeaderSize = 8;
constexpr std::size_t kChannelStatusMin = 32;
constexpr std::size_t kLoadAnswerSize = 8;

// A record of whole u32 words, little-endian.
template <typename... Words>
std::array<std::uint8_t, 4 * sizeof...(Words)> record(Words... words) {
    std::array<std::uint8_t, 4 * sizeof...(Words)> r{};
    std::size_t at = 0;
    ((storeU32(r, at, static_cast<std::uint32_t>(words)), at += 4), ...);
    return r;
}

// The one input buffer of a payload request: header plus payload, left
// uninitialised because every byte is written before it is sent.
class RequestBuffer {
public:
    // Empty when the payload is beyond the limit or memory cannot be had.
    static RequestBuffer obtain(std::size_t header, std::size_t payload) {
        RequestBuffer b;
        if (payload > kMaxRequestPayload) return b;
        try {
            b.data_ = std::make_unique_for_overwrite<std::uint8_t[]>(header + payload);
            b.size_ = header + payload;
        } catch (const std::bad_alloc&) {
            b.size_ = 0;
        }
        return b;
    }
    explicit operator bool() const { return data_ != nullptr; }
    std::span<std::uint8_t> bytes() { return {data_.get(), size_}; }

private:
    std::unique_ptr<std::uint8_t[]> data_;
    std::size_t size_ = 0;
};

std::uint32_t bytesOrZero(ControlResult r) { return r.ok ? r.bytes : 0; }

// Zeroes what the driver did not report, so that a short answer reads as zeros
// in buffers of our own.
void keepReported(std::span<std::uint8_t> answer, std::uint32_t bytes) {
    std::fill(answer.begin() + bytes, answer.end(), std::uint8_t{0});
}

}  // namespace

std::string DriverLink::devicePath(int deviceNumber) {
    return "\\\\.\\KSVECWDM" + std::to_string(deviceNumber);
}

DeviceHandle DriverLink::openDevice(std::string_view path) {
    const DeviceHandle handle = transport_.open(path);
    context_.setDevice(handle);
    return handle;
}

bool DriverLink::closeDevice() {
    const DeviceHandle handle = context_.device();
    const bool closed = handle.valid() && transport_.close(handle);
    context_.setDevice(DeviceHandle::invalid());
    return closed;
}

ControlResult DriverLink::send(std::uint32_t code, std::span<const std::uint8_t> in,
                               std::span<std::uint8_t> out) {
    if (in.size() > kMaxLength || out.size() > kMaxLength) return {};
    ControlResult r = transport_.control(context_.device(), code, in, out);
    // A count beyond the output area cannot be true and must never become a
    // length that a caller reads the area with.
    r.bytes = static_cast<std::uint32_t>(std::min<std::size_t>(r.bytes, out.size()));
    return r;
}

AuxResult DriverLink::aux(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
    const ControlResult r = send(kAuxCommand, in, out);
    return {r.ok, r.bytes};
}

// --- memory and registers -------------------------------------------------------

std::uint32_t DriverLink::readWords(std::uint32_t bar, std::uint32_t offset, std::span<std::uint32_t> out) {
    if (out.size() > kMaxLength / 4) return 0;
    const auto in = record(bar, offset, static_cast<std::uint32_t>(out.size()));
    // The words' own storage is the output area; the bytes are little-endian.
    const std::span<std::uint8_t> area{reinterpret_cast<std::uint8_t*>(out.data()), out.size() * 4};
    const std::uint32_t bytes = bytesOrZero(send(kReadWords, in, area));
    if constexpr (std::endian::native != std::endian::little) {
        for (std::size_t i = 0; i < (bytes + 3) / 4; ++i) out[i] = loadU32(area, i * 4);
    }
    return bytes;
}

std::uint32_t DriverLink::writeWords(std::uint32_t bar, std::uint32_t offset,
                                     std::span<const std::uint32_t> words) {
    if (words.size() > kMaxRequestPayload / 4) return 0;
    RequestBuffer buffer = RequestBuffer::obtain(kHeaderSize, words.size() * 4);
    if (!buffer) return 0;
    const std::span<std::uint8_t> in = buffer.bytes();
    storeU32(in, 0, bar);
    storeU32(in, 4, offset);
    storeU32(in, 8, static_cast<std::uint32_t>(words.size()));
    for (std::size_t i = 0; i < words.size(); ++i) storeU32(in, kHeaderSize + i * 4, words[i]);
    return bytesOrZero(send(kWriteWords, in, {}));
}

std::uint32_t DriverLink::readBytes(std::uint32_t bar, std::uint32_t offset, std::span<std::uint8_t> out) {
    if (out.size() > kMaxLength) return kReadBytesFailure;
    const auto in = record(bar, offset, static_cast<std::uint32_t>(out.size()));
    return send(kReadBytes, in, out).ok ? 0 : kReadBytesFailure;
}

std::uint32_t DriverLink::writeBytes(std::uint32_t bar, std::uint32_t offset,
                                     std::span<const std::uint8_t> data) {
    RequestBuffer buffer = RequestBuffer::obtain(kHeaderSize, data.size());
    if (!buffer) return 0;
    const std::span<std::uint8_t> in = buffer.bytes();
    storeU32(in, 0, bar);
    storeU32(in, 4, offset);
    storeU32(in, 8, static_cast<std::uint32_t>(data.size()));
    std::copy(data.begin(), data.end(), in.begin() + kHeaderSize);
    return bytesOrZero(send(kWriteBytes, in, {}));
}

// --- device information and identity ------------------------------------------------

std::uint32_t DriverLink::deviceInfo(std::uint32_t category, std::span<std::uint8_t> out) {
    const std::size_t words = out.size() / 4;
    if (words == 0) return 0;
    return bytesOrZero(send(kDeviceInfo, record(category, 0u), out.first(words * 4)));
}

std::uint32_t DriverLink::driverVersion(std::span<std::uint8_t, 8> out) {
    return bytesOrZero(send(kDriverVersion, {}, out));
}

std::uint32_t DriverLink::hardwareInfo(std::span<std::uint8_t, 32> out) {
    return bytesOrZero(send(kHardwareInfo, {}, out));
}

std::uint32_t DriverLink::slotInfo(std::span<std::uint8_t, 16> out) {
    return bytesOrZero(send(kSlotInfo, {}, out));
}

// --- stream buffers and notification ------------------------------------------------

std::uint32_t DriverLink::mapAddresses() {
    std::array<std::uint8_t, kMappingRecordSize> fetched{};
    const std::uint32_t bytes = bytesOrZero(send(kMapAddresses, {}, fetched));
    keepReported(fetched, bytes);
    context_.mapping = fetched;
    return bytes;
}

std::uint32_t DriverLink::unmapAddresses() {
    return bytesOrZero(send(kUnmapAddresses, context_.mapping, {}));
}

std::uint32_t DriverLink::registerDataEvent() {
    const EventHandle event = context_.dataEvent.load(std::memory_order_relaxed);
    if (event == kClosedEvent) return kRegisterEventFailure;
    return send(kRegisterEvent, record(event), {}).ok ? 0 : kRegisterEventFailure;
}

std::uint32_t DriverLink::fetchNotifications(std::span<std::uint8_t> out) {
    return bytesOrZero(send(kFetchNotifications, {}, out));
}

// --- DSP control ------------------------------------------------------------------------

bool DriverLink::dspState(std::uint32_t& state) {
    std::array<std::uint8_t, 4> answer{};
    const ControlResult r = send(kDspState, {}, answer);
    if (!r.ok) return false;
    keepReported(answer, r.bytes);
    state = loadU32(answer, 0);
    return true;
}

bool DriverLink::resetDsp() { return send(kDspReset, {}, {}).ok; }

bool DriverLink::interruptDsp() { return send(kDspInterrupt, {}, {}).ok; }

std::uint32_t DriverLink::loadBlock(std::uint32_t index, std::uint32_t address,
                                    std::span<const std::uint8_t> data) {
    RequestBuffer buffer = RequestBuffer::obtain(kLoadHeaderSize, data.size());
    if (!buffer) return 0;
    const std::span<std::uint8_t> in = buffer.bytes();
    storeU32(in, 0, index);
    storeU32(in, 4, address);
    std::copy(data.begin(), data.end(), in.begin() + kLoadHeaderSize);
    std::array<std::uint8_t, kLoadAnswerSize> answer{};
    const ControlResult r = send(kDspLoadBlock, in, answer);
    // Word 1 counts only when the driver delivered it.
    if (!r.ok || r.bytes < kLoadAnswerSize) return 0;
    return loadU32(answer, 4);
}

bool DriverLink::setDspTime(const DspTime& t) {
    return send(kSetDspTime, record(t.year, t.month, t.day, t.hour, t.minute, t.second), {}).ok;
}

bool DriverLink::setDmaVaddr() { return send(kSetDmaVaddr, {}, {}).ok; }

bool DriverLink::setDmaOaddr() { return send(kSetDmaOaddr, {}, {}).ok; }

// --- channels ---------------------------------------------------------------------------

bool DriverLink::switchChannel(std::uint32_t channel, bool on) {
    return send(kChannelSwitch, record(channel, on ? 1u : 0u), {}).ok;
}

bool DriverLink::switchSubChannel(std::uint32_t channel, bool on) {
    return send(kSubChannelSwitch, record(channel, on ? 1u : 0u), {}).ok;
}

std::uint32_t DriverLink::channelStatus(std::span<std::uint8_t> buf) {
    if (buf.size() < kChannelStatusMin) return 0;
    return bytesOrZero(send(kChannelStatus, {}, buf));
}

std::uint32_t DriverLink::acknowledgeChannelStatus(std::span<std::uint8_t> buf) {
    if (buf.size() < kChannelStatusMin) return 0;
    return bytesOrZero(send(kChannelStatusAck, record(loadU32(buf, 0)), buf));
}

// --- auxiliary command 0x2220c4 -----------------------------------------------------------

AuxResult DriverLink::readDecoderRegister(std::uint32_t reg, std::span<std::uint8_t, 16> out) {
    return aux(record(kAuxReadDecoderRegister, 0u, reg), out);
}

AuxResult DriverLink::writeDecoderRegister(std::uint32_t reg, std::uint32_t value) {
    return aux(record(kAuxWriteDecoderRegister, 0u, reg, value), {});
}

AuxResult DriverLink::readPhysical(std::uint32_t address, std::span<std::uint8_t> out) {
    return aux(record(kAuxReadPhysical, address), out);
}

AuxResult DriverLink::readDspField(std::uint32_t address, std::span<std::uint8_t> out) {
    return aux(record(kAuxReadDspField, address), out);
}

AuxResult DriverLink::setDmaPaddr() { return aux(record(kAuxSetDmaPaddr, 0u), {}); }

AuxResult DriverLink::readOriginalVideo(std::uint32_t offset, std::span<std::uint8_t> out) {
    return aux(record(kAuxReadOriginalVideo, offset), out);
}

AuxResult DriverLink::writeOriginalVideo(std::uint32_t offset, std::span<std::uint8_t> data) {
    return aux(record(kAuxWriteOriginalVideo, offset), data);
}

AuxResult DriverLink::debugCommand(std::uint32_t subCode) { return aux(record(subCode, 0u), {}); }

// --- mapped areas ---------------------------------------------------------------------------

std::span<std::uint8_t> DriverLink::mappedArea(std::uint32_t word) {
    if (word >= kMappingRecordSize / 4) return {};
    const std::uint32_t token = loadU32(context_.mapping, std::size_t{word} * 4);
    if (token == 0) return {};  // a null address: nothing mapped there
    return transport_.area(context_.device(), token);
}

}  // namespace pemblor::driver
