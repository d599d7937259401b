// The auxiliary command 0x2220c4: its first word picks what the card does.
// Sub-codes that read answer exactly the caller's output area, or fail.
#include <algorithm>

#include "driver/little_endian.hpp"
#include "driver/request_codes.hpp"
#include "sim/card/sim_answer.hpp"
#include "sim/card/sim_card.hpp"

namespace pemblor::sim {

using driver::ControlResult;
using driver::loadU32;
using driver::storeU32;

namespace {

constexpr std::size_t kAddressRecord = 8;         // sub-code, address or offset
constexpr std::size_t kRegisterAnswer = 16;       // sub-code 3
constexpr std::uint64_t kPhysicalLimit = 1ull << 32;

// Physical memory as the card's driver sees it: every 32-bit word holds its
// own address, so a dump shows where it was read (pages of 4 KiB count up
// by 0x1000 from one to the next).
std::uint8_t physicalByte(std::uint64_t address) {
    const std::uint32_t word = static_cast<std::uint32_t>(address & ~std::uint64_t{3});
    return static_cast<std::uint8_t>(word >> (8 * (address & 3)));
}

}  // namespace

ControlResult SimCard::auxCommand(const Request& r) {
    if (r.in.size() < 4) return kRefused;
    switch (loadU32(r.in, 0)) {
        case driver::kAuxReadDecoderRegister: return readDecoderRegister(r);
        case driver::kAuxWriteDecoderRegister: return writeDecoderRegister(r);
        case driver::kAuxReadPhysical: return readPhysical(r);
        case driver::kAuxReadDspField: return readDspField(r);
        case driver::kAuxSetDmaPaddr: return setDmaPaddr(r);
        case driver::kAuxReadOriginalVideo: return readOriginalVideo(r);
        case driver::kAuxWriteOriginalVideo: return writeOriginalVideo(r);
        default:
            // Any other number is a debug command passed on to the DSP: {n, 0}.
            if (r.in.size() != kAddressRecord || loadU32(r.in, 4) != 0) return kRefused;
            return done(0);
    }
}

ControlResult SimCard::readDecoderRegister(const Request& r) {
    if (r.in.size() != 12 || loadU32(r.in, 4) != 0 || r.out.size() < kRegisterAnswer) return kRefused;
    const std::uint32_t reg = loadU32(r.in, 8);
    if (reg >= kDecoderRegisterCount) return kRefused;
    // The value first, then which register it is.
    std::fill_n(r.out.begin(), kRegisterAnswer, std::uint8_t{0});
    storeU32(r.out, 0, decoderRegisters_[reg]);
    storeU32(r.out, 4, reg);
    return done(kRegisterAnswer);
}

ControlResult SimCard::writeDecoderRegister(const Request& r) {
    if (r.in.size() != 16 || loadU32(r.in, 4) != 0) return kRefused;
    const std::uint32_t reg = loadU32(r.in, 8);
    if (reg >= kDecoderRegisterCount) return kRefused;
    decoderRegisters_[reg] = loadU32(r.in, 12);
    return done(0);
}

ControlResult SimCard::readPhysical(const Request& r) {
    if (r.in.size() != kAddressRecord) return kRefused;
    const std::uint64_t address = loadU32(r.in, 4);
    if (address + r.out.size() > kPhysicalLimit) return kRefused;
    for (std::size_t i = 0; i < r.out.size(); ++i) r.out[i] = physicalByte(address + i);
    return done(r.out.size());
}

ControlResult SimCard::readDspField(const Request& r) {
    if (r.in.size() != kAddressRecord || !memory_.dsp().read(loadU32(r.in, 4), r.out)) return kRefused;
    return done(r.out.size());
}

ControlResult SimCard::setDmaPaddr(const Request& r) {
    if (r.in.size() != kAddressRecord || loadU32(r.in, 4) != 0) return kRefused;
    dsp_.setDma(kDmaPaddr);
    poke();
    return done(0);
}

ControlResult SimCard::readOriginalVideo(const Request& r) {
    if (r.in.size() != kAddressRecord) return kRefused;
    const std::span<std::uint8_t> area = areas_.storage(AreaKind::OriginalVideo);
    const std::uint32_t offset = loadU32(r.in, 4);
    if (offset > area.size() || r.out.size() > area.size() - offset) return kRefused;
    std::copy_n(area.begin() + offset, r.out.size(), r.out.begin());
    return done(r.out.size());
}

// The bytes to write travel in the output area; the card takes them and
// leaves them as they are.
ControlResult SimCard::writeOriginalVideo(const Request& r) {
    if (r.in.size() != kAddressRecord) return kRefused;
    const std::span<std::uint8_t> area = areas_.storage(AreaKind::OriginalVideo);
    const std::uint32_t offset = loadU32(r.in, 4);
    if (offset > area.size() || r.out.size() > area.size() - offset) return kRefused;
    std::copy(r.out.begin(), r.out.end(), area.begin() + offset);
    return done(r.out.size());
}

}  // namespace pemblor::sim
