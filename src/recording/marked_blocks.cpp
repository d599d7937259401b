#include "recording/marked_blocks.hpp"

#include <cstring>

namespace pemblor::recording {

namespace {
constexpr std::array<std::uint8_t, 4> kMarkedStart = {0x00, 0x00, 0x01, 0xF0};
}  // namespace

void MarkedBlockFilter::push(std::span<const std::uint8_t> bytes) {
    if (held_.empty()) return scan(bytes, false);
    // A block may straddle the pieces: look at the held bytes and the new ones together.
    joined_.assign(held_.begin(), held_.end());
    joined_.insert(joined_.end(), bytes.begin(), bytes.end());
    held_.clear();
    scan(joined_, false);
}

void MarkedBlockFilter::finish() {
    std::vector<std::uint8_t> rest;
    rest.swap(held_);
    scan(rest, true);
}

void MarkedBlockFilter::scan(std::span<const std::uint8_t> bytes, bool last) {
    std::size_t from = 0;
    while (from < bytes.size()) {
        const void* hit = memmem(bytes.data() + from, bytes.size() - from, kMarkedStart.data(), kMarkedStart.size());
        if (!hit) break;
        const auto at = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - bytes.data());
        if (at > from) sink_(bytes.subspan(from, at - from));
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
    // The last three bytes may begin a block that the next piece completes.
    const std::size_t keep = last ? 0 : std::min<std::size_t>(kMarkedStart.size() - 1, bytes.size() - from);
    if (bytes.size() - keep > from) sink_(bytes.subspan(from, bytes.size() - keep - from));
    held_.assign(bytes.end() - static_cast<std::ptrdiff_t>(keep), bytes.end());
}

}  // namespace pemblor::recording
