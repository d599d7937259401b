#pragma once
// Splits an H.264 byte stream (Annex B) into access units: one coded
// picture each (a frame or one field) with the units that belong to it,
// found by the stream's own rules (delimiters, parameter sets and SEI start
// a unit; a slice of another picture starts one). Each unit comes out with
// what its first slice says and its picture order counts; its bytes are
// kept as the input had them, length-prefixed for a container, or not at
// all. Bytes go in as pieces of any size; a unit larger than
// kMaxAccessUnit is reported as damage and left out, never held whole.
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "recording/h264_syntax.hpp"
#include "recording/nal_splitter.hpp"
#include "recording/picture_order_count.hpp"

namespace pemblor::recording {

inline constexpr std::size_t kMaxAccessUnit = 32u << 20;

enum class UnitBytes {
    None,            // only what the unit says (info)
    AsInput,         // every input byte, start codes included (a replay)
    LengthPrefixed,  // each NAL unit after a 4-byte big-endian length (a container)
};

struct AccessUnit {
    std::uint64_t offset = 0;  // of its first byte in the input
    std::uint64_t size = 0;    // input bytes
    // As asked for; the sink may take them (swap) and leave an empty vector.
    std::vector<std::uint8_t> bytes;
    bool picture = false;    // holds a coded picture
    bool readable = false;   // its slice headers could be read: parameter sets known
    bool idr = false;        // an IDR picture (NAL type 5)
    bool bSlices = false;
    int recoveryFrames = -1;  // from a recovery point SEI in the unit; -1 without one
    SliceHeader slice;        // its first slice, when readable
    OrderCounts order;        // when readable
    const Sps* sps = nullptr;  // when readable; valid during the sink call
    int width = 0, height = 0;
};

class AccessUnitSplitter {
public:
    using Sink = std::function<void(AccessUnit&)>;
    using Damage = NalSplitter::Damage;

    explicit AccessUnitSplitter(Sink sink, UnitBytes keep = UnitBytes::AsInput, Damage damage = {});
    AccessUnitSplitter(const AccessUnitSplitter&) = delete;
    AccessUnitSplitter& operator=(const AccessUnitSplitter&) = delete;

    // offset: where bytes lie in the input; by default they follow the last piece.
    void push(std::span<const std::uint8_t> bytes, std::optional<std::uint64_t> offset = std::nullopt);
    // The end of the stream: the last unit comes out.
    void finish();

    const ParameterSets& sets() const { return sets_; }
    // The last parameter set units seen (bytes after the start code), by id;
    // empty when none: what a container keeps as the stream's extra data.
    std::span<const std::uint8_t> spsUnit(int id) const;
    std::span<const std::uint8_t> ppsUnit(int id) const;
    std::uint64_t strayBytes() const { return nals_.strayBytes(); }
    bool parameterSetsSeen() const { return setsSeen_; }

private:
    void nal(const NalUnit& n);
    void parameterSet(const NalUnit& n, int type);
    void slice(const NalUnit& n);
    bool startsPicture(const SliceHeader& h) const;
    void append(const NalUnit& n);
    void emit();

    Sink sink_;
    Damage damage_;
    UnitBytes keep_;
    NalSplitter nals_;
    ParameterSets sets_;
    std::array<std::vector<std::uint8_t>, kMaxSpsCount> spsUnits_;
    std::array<std::vector<std::uint8_t>, kMaxPpsCount> ppsUnits_;
    bool setsSeen_ = false;
    PictureOrderCounter counter_;
    AccessUnit unit_;
    bool open_ = false;       // unit_ has bytes
    bool oversize_ = false;   // unit_ grew past kMaxAccessUnit: left out
    std::optional<SliceHeader> lastSlice_;  // of the unit being gathered
    std::uint64_t nextOffset_ = 0;
};

}  // namespace pemblor::recording
