#pragma once
// Recording files hold every payload the card sent, marked blocks included:
// 16 bytes whose first word is 0xF0010000 (bytes 00 00 01 F0), written between
// access units. Bytes 00 00 01 start a NAL unit in H.264, and a NAL header of
// 0xF0 is not valid H.264, so a marked block is found by its exact form. This
// filter takes a file's payload in pieces of any size and passes on the
// stream without them, each piece with its offset in the input.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

namespace pemblor::recording {

inline constexpr std::size_t kMarkedBlockSize = 16;

class MarkedBlockFilter {
public:
    using Sink = std::function<void(std::span<const std::uint8_t>, std::uint64_t offset)>;
    // Each whole marked block taken out, in stream order.
    using MarkedSink = std::function<void(std::span<const std::uint8_t, kMarkedBlockSize>)>;

    // base: the input offset of the first byte pushed (after a file's header).
    explicit MarkedBlockFilter(Sink sink, std::uint64_t base = 0, MarkedSink marked = {})
        : sink_(std::move(sink)), pushed_(base), markedSink_(std::move(marked)) {}

    void push(std::span<const std::uint8_t> bytes);
    // The end of the payload: what is held back goes out. A marked block cut
    // off by the end of the file is dropped and counted.
    void finish();

    std::uint64_t markedBlocks() const { return marked_; }

private:
    // Emits the stream, holding back a tail that may start a block; bytes
    // begin at input offset `at`.
    void scan(std::span<const std::uint8_t> bytes, std::uint64_t at, bool last);

    Sink sink_;
    std::uint64_t pushed_ = 0;  // input offset just past the bytes pushed
    MarkedSink markedSink_;
    std::vector<std::uint8_t> held_;  // at most one block's bytes, carried across pieces
    std::vector<std::uint8_t> joined_;
    std::uint64_t marked_ = 0;
};

}  // namespace pemblor::recording
