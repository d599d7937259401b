#include "memory/memory_access.hpp"

#include <algorithm>

#include "common/printf_line.hpp"
#include "driver/little_endian.hpp"

namespace pemblor::memory {

namespace {

constexpr int kBarTypes = 3;  // types 0..2 are the card's windows, numbered by bar

bool isWindow(int type) { return type >= 0 && type < kBarTypes; }

std::uint32_t limitAddress(std::uint32_t address) { return std::min(address, kAddressLimit); }

// Reads length / 4 words of a window into the buffer; the driver's byte count.
std::uint32_t readWindow(driver::DriverLink& link, const Transfer& t, TransferBuffer& buffer) {
    std::array<std::uint32_t, kMaxTransferLength / 4> words{};
    const std::span<std::uint32_t> want(words.data(), t.length / 4);
    const std::uint32_t bytes = link.readWords(static_cast<std::uint32_t>(t.type), t.address, want);
    for (std::size_t i = 0; i < want.size(); ++i) driver::storeU32(buffer, i * 4, words[i]);
    return bytes;
}

// One request per register, 16 bytes of answer each; the count shows every
// register's line whatever the requests returned.
std::uint32_t readRegisters(driver::DriverLink& link, const Transfer& t, TransferBuffer& buffer) {
    for (std::uint32_t i = 0; i < t.length / 4; ++i) {
        const std::span<std::uint8_t, kRegisterAnswerSize> answer(buffer.data() + kRegisterAnswerSize * i,
                                                                  kRegisterAnswerSize);
        link.readDecoderRegister(t.address + i, answer);
    }
    return 4 * t.length;
}

}  // namespace

TransferResult readMemory(driver::DriverLink& link, Transfer t, TransferBuffer& buffer) {
    // The whole buffer, not only its first 512 bytes: the register dump shows
    // up to 2048, and none of them may be left from an earlier operation.
    buffer.fill(0);
    t.length = std::min(t.length, kMaxTransferLength);
    const std::span<std::uint8_t> area(buffer.data(), t.length);
    std::uint32_t rcount = 0;
    if (isWindow(t.type) || t.type == static_cast<int>(AddressType::OriginalVideo)) t.address = limitAddress(t.address);
    switch (static_cast<AddressType>(t.type)) {
        case AddressType::Bar0:
        case AddressType::Bar1:
        case AddressType::Bar2: rcount = readWindow(link, t, buffer); break;
        case AddressType::OriginalVideo: rcount = link.readOriginalVideo(t.address, area).bytes; break;
        case AddressType::DspField: rcount = link.readDspField(t.address, area).bytes; break;
        case AddressType::DecoderRegister: rcount = readRegisters(link, t, buffer); break;
        case AddressType::Physical: rcount = link.readPhysical(t.address, area).bytes; break;
    }
    return {t, rcount, std::span<const std::uint8_t>(buffer).first(rcount)};
}

TransferResult writeMemory(driver::DriverLink& link, Transfer t, TransferBuffer& buffer) {
    t.address = limitAddress(t.address);
    t.length = std::min(t.length, kMaxTransferLength);
    if (t.type == static_cast<int>(AddressType::Bar2)) t.length = kBar2WriteLength;
    const std::span<std::uint8_t> data(buffer.data(), t.length);
    std::uint32_t rcount = 0;
    switch (static_cast<AddressType>(t.type)) {
        case AddressType::Bar0:
        case AddressType::Bar1:
        case AddressType::Bar2: rcount = link.writeBytes(static_cast<std::uint32_t>(t.type), t.address, data); break;
        case AddressType::OriginalVideo: rcount = link.writeOriginalVideo(t.address, data).bytes; break;
        case AddressType::DecoderRegister:
            // One register, whatever the length: the first four bytes as its value.
            rcount = link.writeDecoderRegister(t.address, driver::loadU32(buffer, 0)).bytes;
            break;
        case AddressType::DspField:
        case AddressType::Physical: break;  // nothing can be written there
    }
    return {t, rcount, data};
}


}  // namespace pemblor::memory
