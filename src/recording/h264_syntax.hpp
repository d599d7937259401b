#pragma once
// The parts of H.264's sequence and picture parameter sets, slice headers and
// SEI messages that tell how pictures are ordered, shown and timed. Pure
// functions over one NAL unit (its bytes after the start code); a field out
// of its range makes the unit damaged, with a reason, never a crash.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace pemblor::recording {

namespace nal {
inline constexpr int kSlice = 1;
inline constexpr int kPartitionA = 2;
inline constexpr int kIdr = 5;
inline constexpr int kSei = 6;
inline constexpr int kSps = 7;
inline constexpr int kPps = 8;
inline constexpr int kDelimiter = 9;
inline constexpr int kEndOfSequence = 10;
inline constexpr int kEndOfStream = 11;
}  // namespace nal

inline constexpr int kMaxSpsCount = 32;
inline constexpr int kMaxPpsCount = 256;

struct Sps {
    int id = 0;
    int profile = 0;
    int constraints = 0;  // constraint_set0..5 flags, as the byte holds them
    int level = 0;
    int chromaFormat = 1;
    bool separateColourPlanes = false;
    int bitDepthLuma = 8, bitDepthChroma = 8;
    int log2MaxFrameNum = 4;
    int pocType = 0;
    int log2MaxPocLsb = 4;
    bool deltaPicOrderAlwaysZero = false;
    std::int32_t offsetForNonRefPic = 0;
    std::int32_t offsetForTopToBottomField = 0;
    int refFramesInPocCycle = 0;
    std::array<std::int32_t, 255> offsetForRefFrame{};
    int maxRefFrames = 0;
    bool frameMbsOnly = true;
    bool mbaff = false;
    int widthMbs = 0;
    int heightMapUnits = 0;
    int width = 0, height = 0;  // the picture as shown: cropped
    // VUI
    bool timing = false;
    std::uint32_t unitsInTick = 0, timeScale = 0;
    bool restriction = false;
    int maxReorderFrames = 0;
    int maxDecFrameBuffering = 0;

    int frameHeightMbs() const { return (frameMbsOnly ? 1 : 2) * heightMapUnits; }
    // Frames a decoder may hold back before it shows one: what the stream
    // says, else the most its level allows.
    int reorderDepth() const;
};

struct Pps {
    int id = 0;
    int spsId = 0;
    bool bottomFieldPicOrderInFramePresent = false;
    int refIdxL0Default = 1, refIdxL1Default = 1;
    bool weightedPred = false;
    int weightedBipredIdc = 0;
    bool redundantPicCntPresent = false;
};

enum class SliceType { P = 0, B = 1, I = 2, SP = 3, SI = 4 };

struct SliceHeader {
    int nalType = 0;
    int nalRefIdc = 0;
    std::uint32_t firstMb = 0;
    SliceType type = SliceType::I;
    int ppsId = 0;
    std::uint32_t frameNum = 0;
    bool fieldPic = false;
    bool bottomField = false;
    std::uint32_t idrPicId = 0;
    std::uint32_t pocLsb = 0;
    std::int32_t deltaPocBottom = 0;
    std::array<std::int32_t, 2> deltaPoc{};
    std::uint32_t redundantPicCnt = 0;
    bool mmco5 = false;  // memory_management_control_operation 5: a new start for picture order

    bool idr() const { return nalType == nal::kIdr; }
};

// The NAL unit's type and nal_ref_idc, from its first byte.
inline int nalType(std::uint8_t header) { return header & 0x1F; }
inline int nalRefIdc(std::uint8_t header) { return (header >> 5) & 3; }

// Each returns nothing with a reason (a static text) when the unit is damaged.
std::optional<Sps> parseSps(std::span<const std::uint8_t> unit, const char*& reason);
std::optional<Pps> parsePps(std::span<const std::uint8_t> unit, const char*& reason);

// The parameter sets a slice header needs, by their ids.
class ParameterSets {
public:
    void put(Sps sps);
    void put(Pps pps);
    const Sps* sps(int id) const;
    const Pps* pps(int id) const;

private:
    std::array<std::optional<Sps>, kMaxSpsCount> sps_;
    std::array<std::optional<Pps>, kMaxPpsCount> pps_;
};

std::optional<SliceHeader> parseSliceHeader(std::span<const std::uint8_t> unit, const ParameterSets& sets,
                                            const char*& reason);
// recovery_frame_cnt of the SEI unit's recovery point message; -1 without one.
int recoveryFrameCount(std::span<const std::uint8_t> unit);

// "Baseline", "Main", "High", ... or "profile N".
std::string profileName(int profile, int constraints);
// "3.1", "1b", ...
std::string levelName(int level, int constraints);

}  // namespace pemblor::recording
