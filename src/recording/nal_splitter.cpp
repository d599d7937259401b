#include "recording/nal_splitter.hpp"

#include <algorithm>
#include <cstring>

namespace pemblor::recording {

namespace {
constexpr std::size_t kStartCode = 3;
constexpr const char* kTooLong = "NAL unit larger than 32 MiB, skipped";
}  // namespace

void NalSplitter::push(std::span<const std::uint8_t> bytes, std::uint64_t offset) {
    const std::uint8_t* p = bytes.data();
    const std::size_t n = bytes.size();
    // Start codes are found by their 01: in coded data a rare byte, so memchr strides far.
    for (std::size_t i = 0; i < n;) {
        const void* hit = std::memchr(p + i, 1, n - i);
        if (!hit) break;
        const auto k = static_cast<std::size_t>(static_cast<const std::uint8_t*>(hit) - p);
        const std::uint8_t before1 = k >= 1 ? p[k - 1] : last_[1];
        const std::uint8_t before2 = k >= 2 ? p[k - 2] : (k == 1 ? last_[1] : last_[0]);
        if (before1 == 0 && before2 == 0) {
            const std::uint64_t at = offset + k >= 2 ? offset + k - 2 : 0;
            boundary(bytes, static_cast<std::ptrdiff_t>(k) - 2, at);
        }
        i = k + 1;
    }
    endOfPiece(bytes);
    if (n >= 2) {
        last_[0] = p[n - 2];
        last_[1] = p[n - 1];
    } else if (n == 1) {
        last_[0] = last_[1];
        last_[1] = p[0];
    }
}

// A start code begins at `at` of the piece; a negative `at` means its first
// bytes ended the pieces before.
void NalSplitter::boundary(std::span<const std::uint8_t> piece, std::ptrdiff_t at, std::uint64_t offset) {
    const std::size_t carry = at < 0 ? static_cast<std::size_t>(-at) : 0;
    if (state_ == State::InUnit) {
        if (startInPiece_ >= 0) {
            emit(piece.subspan(static_cast<std::size_t>(startInPiece_), static_cast<std::size_t>(at - startInPiece_)));
        } else {
            if (at > 0) pending_.insert(pending_.end(), piece.begin(), piece.begin() + at);
            pending_.resize(pending_.size() - std::min(carry, pending_.size()));
            emit(pending_);
        }
    } else if (state_ == State::BeforeFirst && at > 0) {
        stray_ += static_cast<std::uint64_t>(
            std::count_if(piece.begin(), piece.begin() + at, [](std::uint8_t b) { return b != 0; }));
    }
    state_ = State::InUnit;
    unitOffset_ = offset;
    pending_.assign(carry, 0);
    startInPiece_ = at >= 0 ? at : -1;
}

void NalSplitter::endOfPiece(std::span<const std::uint8_t> piece) {
    if (state_ == State::BeforeFirst) {
        stray_ += static_cast<std::uint64_t>(std::count_if(piece.begin(), piece.end(), [](std::uint8_t b) { return b != 0; }));
        return;
    }
    if (state_ != State::InUnit) return;
    const auto rest = startInPiece_ >= 0 ? piece.subspan(static_cast<std::size_t>(startInPiece_)) : piece;
    startInPiece_ = -1;
    if (pending_.size() + rest.size() > kMaxNalUnit + kStartCode) {
        damage_(unitOffset_, kTooLong);
        state_ = State::Skipping;
        pending_.clear();
        return;
    }
    pending_.insert(pending_.end(), rest.begin(), rest.end());
}

void NalSplitter::emit(std::span<const std::uint8_t> whole) {
    if (whole.size() > kMaxNalUnit + kStartCode) {
        damage_(unitOffset_, kTooLong);
        return;
    }
    std::size_t end = whole.size();
    while (end > kStartCode && whole[end - 1] == 0) --end;
    if (end <= kStartCode) return;  // two start codes in a row: no unit between them
    sink_({whole, whole.subspan(kStartCode, end - kStartCode), unitOffset_});
}

void NalSplitter::finish() {
    if (state_ == State::InUnit) emit(pending_);
    state_ = State::BeforeFirst;
    pending_.clear();
    startInPiece_ = -1;
    last_[0] = last_[1] = 1;
}

}  // namespace pemblor::recording
