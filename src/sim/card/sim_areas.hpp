#pragma once
// The four memory areas the driver maps for the console, and the mappings
// handed out through request 0x22240c. The record's words 1, 5, 9 and 13 are
// tokens (a 64-bit process cannot keep its addresses in 32-bit words); the
// transport resolves them into the areas. Not thread-safe: the card's lock
// covers it.
#include <array>
#include <memory>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "sim/card/sim_buffer.hpp"

namespace pemblor::sim {

enum class AreaKind : std::size_t { EncodedStream, OriginalVideo, PreviewSlots, FullPreview };
inline constexpr std::size_t kAreaCount = 4;

inline constexpr std::size_t kPictureWidth = 704;
inline constexpr std::size_t kPictureHeight = 576;
inline constexpr std::size_t kEncodedStreamAreaSize = 2u << 20;
inline constexpr std::size_t kOriginalVideoAreaSize = kPictureWidth * kPictureHeight * 2;  // 4:2:2
inline constexpr std::size_t kPreviewSlotCount = 4;
inline constexpr std::size_t kPreviewSlotsAreaSize = kPreviewSlotCount * 0x31800;
inline constexpr std::size_t kFullPreviewAreaSize = kPictureWidth * kPictureHeight * 2;
inline constexpr std::size_t kMappingRecordBytes = 64;

// Tokens handed out by every card of one transport, so that a token never
// names an area of another card either.
class TokenSource {
public:
    std::uint32_t next();

private:
    std::atomic<std::uint32_t> last_{0x40000000};
};

class MappedAreas {
public:
    // Bounds what a caller that maps without unmapping can pile up.
    static constexpr std::size_t kMaxMappings = 64;

    static std::size_t areaSize(AreaKind kind);

    // A new mapping made through handle; fills the 64-byte record. False when
    // too many mappings are live or the areas' memory cannot be had.
    bool map(std::uint64_t handle, std::span<std::uint8_t, kMappingRecordBytes> record, TokenSource& tokens);
    // Ends the mapping whose record this is, word for word. False when the
    // record names no live mapping.
    bool unmap(std::span<const std::uint8_t> record);
    // The handle was closed: its mappings end, as a driver cleans up.
    void dropHandle(std::uint64_t handle);
    // The area a live token stands for; empty otherwise. The storage stays
    // with the card, so a span handed out earlier never dangles.
    std::span<std::uint8_t> resolve(std::uint32_t token);
    // The card's own view of an area, mapped or not: the storage, allocated
    // on first use; empty when its memory cannot be had.
    std::span<std::uint8_t> storage(AreaKind kind);
    // The token of an area in the newest live mapping; 0 when none.
    std::uint32_t currentToken(AreaKind kind) const;
    std::size_t liveMappings() const { return mappings_.size(); }
    // Keeps the areas' memory alive while held, beyond the card's own life:
    // a receive thread left inside a write may still be reading it.
    std::shared_ptr<const void> keeper() const { return storage_; }

private:
    struct Mapping {
        std::uint64_t handle;
        std::array<std::uint8_t, kMappingRecordBytes> record;
        std::array<std::uint32_t, kAreaCount> tokens;
    };

    std::uint32_t freshToken(TokenSource& tokens) const;
    bool tokenLive(std::uint32_t token) const;

    std::vector<Mapping> mappings_;
    using Storage = std::array<ZeroedBuffer, kAreaCount>;
    std::shared_ptr<Storage> storage_ = std::make_shared<Storage>();
};

}  // namespace pemblor::sim
