#pragma once
// Reads the bits of one H.264 NAL unit as the syntax tables do: fixed-width
// fields and Exp-Golomb codes, with the emulation-prevention bytes (the 03 of
// 00 00 03) skipped on the fly, so nothing is copied. The bytes come from a
// file: reading past the end, or a code longer than 32 bits, sets failed()
// and yields zeros from then on, never a read outside the span.
#include <cstddef>
#include <cstdint>
#include <span>

namespace pemblor::recording {

class BitReader {
public:
    // bytes: the NAL unit's bytes after its start code; reading starts at byte `from`.
    explicit BitReader(std::span<const std::uint8_t> bytes, std::size_t from = 0);

    std::uint32_t bits(int count);  // 0 to 32 bits
    bool flag() { return bits(1) != 0; }
    std::uint32_t ue();
    std::int32_t se();
    void skipBits(std::uint32_t count);
    // The bits read do not make sense: nothing more is read.
    void fail() { failed_ = true; }

    bool failed() const { return failed_; }

private:
    bool refill();
    int nextByte();

    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
    int zeros_ = 0;                // zero bytes just read, for the 00 00 03 escape
    std::uint64_t cache_ = 0;      // bits not read yet, at the top
    int bitsLeft_ = 0;
    bool failed_ = false;
};

}  // namespace pemblor::recording
