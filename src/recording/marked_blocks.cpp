#include "recording/marked_blocks.hpp"

#include <cstring>

namespace pemblor::recording {

namespace {

constexpr std::array<std::uint8_t, 4> kMarkedStart = {0x00, 0x00, 0x01, 0xF0};

// The next marked block's start at or after `from`: found by its F0, a byte
// as rare as any in coded data, which memchr finds far faster than memmem
// finds four.
const std::uint8_t* findMarked(std::span<const std::uint8_t> bytes, std::size_t from) {
    const std::uint8_t* p = bytes.data();
    const std::uint8_t* end = p + bytes.size();
    for (const std::uint8_t* at = p + from + 3; at < end;) {
        const auto* hit = static_cast<const std::uint8_t*>(std::memchr(at, kMarkedStart[3], static_cast<std::size_t>(end - at)));
        if (!hit) return nullptr;
        if (hit[-1] == 0x01 && hit[-2] == 0 && hit[-3] == 0) return hit - 3;
        at = hit + 1;
    }
    return nullptr;
}

}  // namespace

void MarkedBlockFilter::push(std::span<const std::uint8_t> bytes) {
    const std::uint64_t at = pushed_;
    pushed_ += bytes.size();
    if (held_.empty()) return scan(bytes, at, false);
    // A block may straddle the pieces: look at the held bytes and the new ones together.
    joined_.assign(held_.begin(), held_.end());
    joined_.insert(joined_.end(), bytes.begin(), bytes.end());
    const std::uint64_t joinedAt = at - held_.size();
    held_.clear();
    scan(joined_, joinedAt, false);
}

void MarkedBlockFilter::finish() {
    std::vector<std::uint8_t> rest;
    rest.swap(held_);
    scan(rest, pushed_ - rest.size(), true);
}

void MarkedBlockFilter::scan(std::span<const std::uint8_t> bytes, std::uint64_t base, bool last) {
    std::size_t from = 0;
    while (from < bytes.size()) {
        const std::uint8_t* hit = findMarked(bytes, from);
        if (!hit) break;
        const auto at = static_cast<std::size_t>(hit - bytes.data());
        if (at > from) sink_(bytes.subspan(from, at - from), base + from);
        if (at + kMarkedBlockSize > bytes.size()) {
            if (last) {
                ++marked_;  // cut off by the end of the file: dropped all the same
            } else {
                held_.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at), bytes.end());
            }
            return;
        }
        ++marked_;
        if (markedSink_) markedSink_(bytes.subspan(at).first<kMarkedBlockSize>());
        from = at + kMarkedBlockSize;
    }
    // A tail that begins a block (00, 00 00, 00 00 01) waits for the next piece.
    std::size_t keep = 0;
    for (std::size_t k = std::min<std::size_t>(kMarkedStart.size() - 1, bytes.size() - from); k > 0 && !last; --k) {
        if (std::memcmp(bytes.data() + bytes.size() - k, kMarkedStart.data(), k) == 0) {
            keep = k;
            break;
        }
    }
    if (bytes.size() - keep > from) sink_(bytes.subspan(from, bytes.size() - keep - from), base + from);
    held_.assign(bytes.end() - static_cast<std::ptrdiff_t>(keep), bytes.end());
}

}  // namespace pemblor::recording
