#pragma once
// What a card handed out, read back from the areas exactly as the console
// reads them (stream blocks walked from each code-18 run), and what it
// dropped. Not thread-safe: the card's lock covers it.
#include <array>
#include <cstdint>
#include <map>
#include <span>

#include "sim/production/delivery.hpp"
#include "sim/production/sha256.hpp"

namespace pemblor::sim {

struct SlotTally {
    std::uint64_t blocks = 0;
    std::uint64_t payloadBytes = 0;
    Sha256 payloadHash;  // of the payloads in order, marked blocks included
};

// Items dropped, by what they were.
struct DropTally {
    std::uint64_t blocks = 0;
    std::uint64_t originalVideo = 0;
    std::uint64_t previews = 0;
    std::uint64_t debugRecords = 0;
    std::uint64_t total() const { return blocks + originalVideo + previews + debugRecords; }
};

class DeliveryLedger {
public:
    // A code-18 run of byte count n at the start of the encoded-stream area.
    void streamRun(std::span<const std::uint8_t> area, std::uint32_t n);
    void originalVideo(std::span<const std::uint8_t> area, std::uint32_t n);
    void preview(std::uint32_t code) { ++previews_[code]; }
    void debugRecords(std::uint32_t bytes) { debugRecords_ += (std::uint64_t{bytes} + kDebugRecordSize - 1) / kDebugRecordSize; }
    void record() { ++records_; }
    void fetch() { ++fetches_; }
    void malformed() { ++malformed_; }
    void dropped(const Delivery& d);
    // Queued items that reception's end left undelivered.
    void undelivered(std::size_t items) { undelivered_ += items; }

    const std::array<SlotTally, kStreamCount>& streamSlots() const { return slots_; }
    std::uint64_t originalVideoBytes() const { return originalVideoBytes_; }
    const Sha256& originalVideoHash() const { return originalVideoHash_; }
    const std::map<std::uint32_t, std::uint64_t>& previews() const { return previews_; }
    std::uint64_t debugRecords() const { return debugRecords_; }
    std::uint64_t records() const { return records_; }
    std::uint64_t fetches() const { return fetches_; }
    const DropTally& drops() const { return drops_; }
    std::uint64_t undelivered() const { return undelivered_; }
    std::uint64_t malformedRecords() const { return malformed_; }

private:
    std::array<SlotTally, kStreamCount> slots_{};
    std::uint64_t originalVideoBytes_ = 0;
    Sha256 originalVideoHash_;
    std::map<std::uint32_t, std::uint64_t> previews_;
    std::uint64_t debugRecords_ = 0;
    std::uint64_t records_ = 0;
    std::uint64_t fetches_ = 0;
    DropTally drops_;
    std::uint64_t undelivered_ = 0;
    std::uint64_t malformed_ = 0;
};

// The stream slot a stream id selects: below 4 itself, else 4 + id mod 4.
constexpr std::size_t slotOfStream(std::uint32_t id) { return id < 4 ? id : 4 + id % 4; }

}  // namespace pemblor::sim
