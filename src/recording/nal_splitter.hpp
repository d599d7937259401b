#pragma once
// Cuts an H.264 byte stream (Annex B) into NAL units as its bytes arrive in
// pieces of any size. A unit that lies inside one piece is handed on where it
// lies; only a unit that spans pieces is gathered, and never beyond
// kMaxNalUnit: a longer one is reported as damage at its offset and skipped
// up to the next start code, so memory stays flat whatever the input holds.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace pemblor::recording {

// Larger than anything a card sends, or any sane encoder writes for one picture.
inline constexpr std::size_t kMaxNalUnit = 32u << 20;

struct NalUnit {
    // From its start code (00 00 01) to the next one: every input byte, the
    // zeros before the next start code included. Back to back they give the
    // input again.
    std::span<const std::uint8_t> whole;
    // The unit itself: from its header byte, trailing zero bytes left out.
    std::span<const std::uint8_t> unit;
    std::uint64_t offset = 0;  // of its start code in the input
};

class NalSplitter {
public:
    using Sink = std::function<void(const NalUnit&)>;
    using Damage = std::function<void(std::uint64_t offset, const char* reason)>;

    NalSplitter(Sink sink, Damage damage) : sink_(std::move(sink)), damage_(std::move(damage)) {}

    // bytes continue the stream; offset is where they lie in the input (a
    // filter before this one may have taken bytes out).
    void push(std::span<const std::uint8_t> bytes, std::uint64_t offset);
    void finish();

    // Bytes before the first start code that were not zero.
    std::uint64_t strayBytes() const { return stray_; }

private:
    enum class State { BeforeFirst, InUnit, Skipping };

    void boundary(std::span<const std::uint8_t> piece, std::ptrdiff_t at, std::uint64_t offset);
    void endOfPiece(std::span<const std::uint8_t> piece);
    void emit(std::span<const std::uint8_t> whole);

    Sink sink_;
    Damage damage_;
    State state_ = State::BeforeFirst;
    std::vector<std::uint8_t> pending_;  // the current unit's bytes from earlier pieces
    std::ptrdiff_t startInPiece_ = -1;   // where the current unit began in this piece; -1: in pending_
    std::uint64_t unitOffset_ = 0;
    std::uint8_t last_[2] = {1, 1};      // the two bytes before this piece (1: none)
    std::uint64_t stray_ = 0;
};

}  // namespace pemblor::recording
