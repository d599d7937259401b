#include "recording/h264_bits.hpp"

namespace pemblor::recording {

BitReader::BitReader(std::span<const std::uint8_t> bytes, std::size_t from) : bytes_(bytes), at_(from) {
    if (at_ > bytes_.size()) at_ = bytes_.size();
}

int BitReader::nextByte() {
    while (at_ < bytes_.size()) {
        const std::uint8_t b = bytes_[at_++];
        if (zeros_ >= 2 && b == 3) {  // emulation prevention: not part of the payload
            zeros_ = 0;
            continue;
        }
        zeros_ = b == 0 ? zeros_ + 1 : 0;
        return b;
    }
    return -1;
}

bool BitReader::refill() {
    while (bitsLeft_ <= 56) {
        const int b = nextByte();
        if (b < 0) return bitsLeft_ > 0;
        cache_ |= static_cast<std::uint64_t>(b) << (56 - bitsLeft_);
        bitsLeft_ += 8;
    }
    return true;
}

std::uint32_t BitReader::bits(int count) {
    if (count <= 0 || failed_) return 0;
    if (bitsLeft_ < count) refill();
    if (bitsLeft_ < count) {
        failed_ = true;
        return 0;
    }
    const auto value = static_cast<std::uint32_t>(cache_ >> (64 - count));
    cache_ <<= count;
    bitsLeft_ -= count;
    return value;
}

void BitReader::skipBits(std::uint32_t count) {
    while (count > 0 && !failed_) {
        const int step = count > 32 ? 32 : static_cast<int>(count);
        bits(step);
        count -= static_cast<std::uint32_t>(step);
    }
}

std::uint32_t BitReader::ue() {
    int zeros = 0;
    while (!failed_ && bits(1) == 0) {
        if (++zeros > 31) {
            failed_ = true;
            return 0;
        }
    }
    if (failed_) return 0;
    const std::uint64_t value = (std::uint64_t{1} << zeros) - 1 + bits(zeros);
    if (value > 0xFFFFFFFEu) {
        failed_ = true;
        return 0;
    }
    return static_cast<std::uint32_t>(value);
}

std::int32_t BitReader::se() {
    const std::uint32_t k = ue();
    const auto magnitude = static_cast<std::int32_t>((k + 1) / 2);
    return (k & 1) ? magnitude : -magnitude;
}

}  // namespace pemblor::recording
