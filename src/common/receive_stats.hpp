#pragma once
// What reception counts and the status monitor shows: the stream-slot table,
// the receive counters, whether reception runs and for how long. The receive thread adds; the status monitor, on
// the user-interface thread, reads and rolls. Every field is a 32-bit word
// that wraps, kept in a relaxed atomic (read and written whole, no lock);
// byte totals that the metrics read are 64-bit, so they do not wrap within
// a run of months.
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace pemblor::common {

using Counter = std::atomic<std::uint32_t>;
using Total = std::atomic<std::uint64_t>;

// Eight stream slots: the main streams of channels 1..4, then their sub-streams.
inline constexpr std::size_t kSlotCount = 8;
inline constexpr std::size_t kChannelCount = 4;

// The slot a block's stream id selects: an id below 4 is its own slot, any
// other id the sub-stream slot of its remainder modulo 4.
constexpr std::size_t slotOfStreamId(std::uint32_t id) { return id < 4 ? id : 4 + id % 4; }

inline void add(Counter& c, std::uint32_t n = 1) { c.fetch_add(n, std::memory_order_relaxed); }
inline void add(Total& t, std::uint64_t n) { t.fetch_add(n, std::memory_order_relaxed); }
inline std::uint32_t read(const Counter& c) { return c.load(std::memory_order_relaxed); }
inline std::uint64_t read(const Total& t) { return t.load(std::memory_order_relaxed); }
inline void set(Counter& c, std::uint32_t v) { c.store(v, std::memory_order_relaxed); }
// Takes an accumulator's value and clears it in one step, so the roll never
// loses an increment that lands between the read and the clearing.
inline std::uint32_t take(Counter& c) { return c.exchange(0, std::memory_order_relaxed); }

struct StreamSlot {
    Counter blockCount{0};         // since the console started; never cleared
    Counter bitRate{0};            // bytes of the last full second x 8
    Counter byteAccumulator{0};
    Counter plainLastSecond{0};
    Counter plainAccumulator{0};
    Counter markedLastSecond{0};
    Counter markedAccumulator{0};
    Counter previewLastSecond{0};  // slots 0..3 only
    Counter previewAccumulator{0};
    Counter statusByte{0};         // slots 0..3 only; low 8 bits
    Counter decodeErrors{0};       // pictures of the slot that a decoder of this console could not decode
    Counter pictureCount{0};       // blocks that begin a picture; never cleared
    Counter picturesLastSecond{0};
    Counter pictureAccumulator{0};
    Total bytesReceived{0};        // payload bytes announced since the console started; never cleared
};

struct ReceiveCounters {
    Counter wakeUps{0};              // T
    Counter encodedNotices{0};       // E
    Counter originalVideoNotices{0}; // G
    Counter previewNotices{0};       // P
    Counter lastEncodedLength{0};    // L
    Counter largestThisSecond{0};
    Counter bytesThisSecond{0};
    Counter largestLastSecond{0};    // M
    Counter bytesLastSecond{0};      // R
    Counter cutBlocks{0};            // blocks that did not lie whole in the run: counted, never written
    Counter debugLines{0};           // DSP debug records written as lines
};

// What reception's files took, by kind; written by whichever thread wrote.
enum FileKind : std::size_t { kStreamFile, kDebugFile, kVideoFile, kFileKindCount };

struct WriteCounters {
    std::array<Total, kFileKindCount> bytes{};
    Counter errors{0};  // files that stopped on a failed write
};

struct ReceiveStats {
    std::array<StreamSlot, kSlotCount> slotTable;  // not "slots": a Qt macro
    ReceiveCounters counters;
    Counter receiving{0};  // 1 while reception runs
    Counter seconds{0};    // S: status ticks since reception started
    WriteCounters files;
};

// The once-a-second roll of the per-second figures: each slot's bytes,
// blocks and previews of the second just ended, and the largest run and the
// bytes of it.
inline void rollSecond(ReceiveStats& stats) {
    for (StreamSlot& slot : stats.slotTable) {
        set(slot.bitRate, take(slot.byteAccumulator) * 8);
        set(slot.plainLastSecond, take(slot.plainAccumulator));
        set(slot.markedLastSecond, take(slot.markedAccumulator));
        set(slot.previewLastSecond, take(slot.previewAccumulator));
        set(slot.picturesLastSecond, take(slot.pictureAccumulator));
    }
    ReceiveCounters& c = stats.counters;
    set(c.bytesLastSecond, take(c.bytesThisSecond));
    set(c.largestLastSecond, take(c.largestThisSecond));
}

}  // namespace pemblor::common
