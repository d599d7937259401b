#include "recording/h264_syntax.hpp"

#include <algorithm>

#include "recording/h264_bits.hpp"

namespace pemblor::recording {

namespace {

// Profiles whose sequence parameter sets carry chroma format, bit depths and scaling lists.
bool highProfile(int p) {
    switch (p) {
        case 100: case 110: case 122: case 244: case 44: case 83: case 86: case 118: case 128: case 138:
        case 139: case 134: case 135: return true;
        default: return false;
    }
}

void skipScalingList(BitReader& r, int size) {
    int last = 8, next = 8;
    for (int j = 0; j < size && !r.failed(); ++j) {
        if (next != 0) {
            const std::int32_t delta = r.se();
            if (delta < -128 || delta > 127) return r.fail();  // delta_scale's range
            next = (last + delta + 256) % 256;
        }
        last = next == 0 ? last : next;
    }
}

void skipHrd(BitReader& r) {
    const std::uint32_t count = r.ue() + 1;
    if (count > 32) {
        r.fail();
        return;
    }
    r.bits(8);
    for (std::uint32_t i = 0; i < count && !r.failed(); ++i) {
        r.ue();
        r.ue();
        r.flag();
    }
    r.bits(20);
}

bool readVui(BitReader& r, Sps& s) {
    if (r.flag() && r.bits(8) == 255) r.bits(32);  // aspect ratio, extended SAR
    if (r.flag()) r.flag();                          // overscan
    if (r.flag()) {                                  // video signal type
        r.bits(4);
        if (r.flag()) r.bits(24);
    }
    if (r.flag()) {  // chroma location
        r.ue();
        r.ue();
    }
    s.timing = r.flag();
    if (s.timing) {
        s.unitsInTick = r.bits(32);
        s.timeScale = r.bits(32);
        r.flag();
    }
    const bool nalHrd = r.flag();
    if (nalHrd) skipHrd(r);
    const bool vclHrd = r.flag();
    if (vclHrd) skipHrd(r);
    if (nalHrd || vclHrd) r.flag();
    r.flag();  // pic_struct_present_flag
    s.restriction = r.flag();
    if (s.restriction) {
        r.flag();
        for (int i = 0; i < 4; ++i) r.ue();
        const std::uint32_t reorder = r.ue(), buffering = r.ue();
        if (reorder > 16 || buffering > 16) return false;
        s.maxReorderFrames = static_cast<int>(reorder);
        s.maxDecFrameBuffering = static_cast<int>(buffering);
    }
    return !r.failed();
}

bool readPocFields(BitReader& r, Sps& s, const char*& reason) {
    s.pocType = static_cast<int>(r.ue());
    if (s.pocType == 0) {
        const std::uint32_t lsb = r.ue();
        if (lsb > 12) return (reason = "log2_max_pic_order_cnt_lsb out of range"), false;
        s.log2MaxPocLsb = static_cast<int>(lsb) + 4;
    } else if (s.pocType == 1) {
        s.deltaPicOrderAlwaysZero = r.flag();
        s.offsetForNonRefPic = r.se();
        s.offsetForTopToBottomField = r.se();
        const std::uint32_t cycle = r.ue();
        if (cycle > 255) return (reason = "num_ref_frames_in_pic_order_cnt_cycle out of range"), false;
        s.refFramesInPocCycle = static_cast<int>(cycle);
        for (std::uint32_t i = 0; i < cycle; ++i) s.offsetForRefFrame[i] = r.se();
    } else if (s.pocType != 2) {
        return (reason = "pic_order_cnt_type out of range"), false;
    }
    return true;
}

bool readSize(BitReader& r, Sps& s, const char*& reason) {
    const std::uint32_t refs = r.ue();
    r.flag();  // gaps_in_frame_num_value_allowed_flag
    const std::uint32_t w = r.ue() + 1, h = r.ue() + 1;
    if (refs > 16) return (reason = "max_num_ref_frames out of range"), false;
    if (w > 1024 || h > 1024) return (reason = "picture size out of range"), false;
    s.maxRefFrames = static_cast<int>(refs);
    s.widthMbs = static_cast<int>(w);
    s.heightMapUnits = static_cast<int>(h);
    s.frameMbsOnly = r.flag();
    if (!s.frameMbsOnly) s.mbaff = r.flag();
    r.flag();  // direct_8x8_inference_flag
    std::uint32_t crop[4] = {0, 0, 0, 0};
    if (r.flag())
        for (auto& c : crop) c = r.ue();
    // Crop units: 2 x 2 (frames) or 2 x 4 (fields) samples in 4:2:0, one sample without chroma.
    const int unitX = s.chromaFormat == 0 || s.chromaFormat == 3 ? 1 : 2;
    const int unitY = (s.chromaFormat == 1 ? 2 : 1) * (s.frameMbsOnly ? 1 : 2);
    const std::int64_t width = std::int64_t{s.widthMbs} * 16 - std::int64_t{unitX} * (crop[0] + std::int64_t{crop[1]});
    const std::int64_t height =
        std::int64_t{s.frameHeightMbs()} * 16 - std::int64_t{unitY} * (crop[2] + std::int64_t{crop[3]});
    if (width <= 0 || height <= 0) return (reason = "cropping leaves no picture"), false;
    s.width = static_cast<int>(width);
    s.height = static_cast<int>(height);
    return true;
}

}  // namespace

int Sps::reorderDepth() const {
    if (restriction) return maxReorderFrames;
    static constexpr struct {
        int level, maxDpbMbs;
    } kLevels[] = {{9, 396},     {10, 396},    {11, 900},    {12, 2376},   {13, 2376},   {20, 2376},
                   {21, 4752},   {22, 8100},   {30, 8100},   {31, 18000},  {32, 20480},  {40, 32768},
                   {41, 32768},  {42, 34816},  {50, 110400}, {51, 184320}, {52, 184320}};
    int maxDpbMbs = 696320;  // level 6 and above, or unknown
    for (const auto& l : kLevels)
        if (l.level == level) maxDpbMbs = l.maxDpbMbs;
    const int mbs = std::max(1, widthMbs * frameHeightMbs());
    return std::clamp(maxDpbMbs / mbs, 1, 16);
}

std::optional<Sps> parseSps(std::span<const std::uint8_t> unit, const char*& reason) {
    BitReader r(unit, 1);
    Sps s;
    s.profile = static_cast<int>(r.bits(8));
    s.constraints = static_cast<int>(r.bits(8));
    s.level = static_cast<int>(r.bits(8));
    const std::uint32_t id = r.ue();
    if (id >= kMaxSpsCount) return (reason = "seq_parameter_set_id out of range"), std::nullopt;
    s.id = static_cast<int>(id);
    if (highProfile(s.profile)) {
        const std::uint32_t chroma = r.ue();
        if (chroma > 3) return (reason = "chroma_format_idc out of range"), std::nullopt;
        s.chromaFormat = static_cast<int>(chroma);
        if (chroma == 3) s.separateColourPlanes = r.flag();
        const std::uint32_t luma = r.ue(), chromaDepth = r.ue();
        if (luma > 6 || chromaDepth > 6) return (reason = "bit depth out of range"), std::nullopt;
        s.bitDepthLuma = static_cast<int>(luma) + 8;
        s.bitDepthChroma = static_cast<int>(chromaDepth) + 8;
        r.flag();
        if (r.flag()) {
            for (int i = 0; i < (chroma == 3 ? 12 : 8); ++i)
                if (r.flag()) skipScalingList(r, i < 6 ? 16 : 64);
        }
    }
    const std::uint32_t frameNum = r.ue();
    if (frameNum > 12) return (reason = "log2_max_frame_num out of range"), std::nullopt;
    s.log2MaxFrameNum = static_cast<int>(frameNum) + 4;
    if (!readPocFields(r, s, reason) || !readSize(r, s, reason)) return std::nullopt;
    if (r.flag() && !readVui(r, s)) return (reason = "damaged VUI parameters"), std::nullopt;
    if (r.failed()) return (reason = "sequence parameter set cut short"), std::nullopt;
    return s;
}

std::optional<Pps> parsePps(std::span<const std::uint8_t> unit, const char*& reason) {
    BitReader r(unit, 1);
    Pps p;
    const std::uint32_t id = r.ue(), spsId = r.ue();
    if (id >= kMaxPpsCount || spsId >= kMaxSpsCount)
        return (reason = "parameter set id out of range"), std::nullopt;
    p.id = static_cast<int>(id);
    p.spsId = static_cast<int>(spsId);
    r.flag();  // entropy_coding_mode_flag
    p.bottomFieldPicOrderInFramePresent = r.flag();
    const std::uint32_t groups = r.ue() + 1;
    if (groups > 8) return (reason = "num_slice_groups out of range"), std::nullopt;
    if (groups > 1) {
        const std::uint32_t mapType = r.ue();
        if (mapType == 0) {
            for (std::uint32_t g = 0; g < groups; ++g) r.ue();
        } else if (mapType == 2) {
            for (std::uint32_t g = 0; g + 1 < groups; ++g) r.ue(), r.ue();
        } else if (mapType >= 3 && mapType <= 5) {
            r.flag();
            r.ue();
        } else if (mapType == 6) {
            const std::uint32_t units = r.ue() + 1;
            int width = 0;
            while ((1u << width) < groups) ++width;
            if (units > 1024 * 1024) return (reason = "slice group map out of range"), std::nullopt;
            r.skipBits(units * static_cast<std::uint32_t>(width));
        } else if (mapType > 6) {
            return (reason = "slice_group_map_type out of range"), std::nullopt;
        }
    }
    const std::uint32_t l0 = r.ue() + 1, l1 = r.ue() + 1;
    if (l0 > 32 || l1 > 32) return (reason = "num_ref_idx_default_active out of range"), std::nullopt;
    p.refIdxL0Default = static_cast<int>(l0);
    p.refIdxL1Default = static_cast<int>(l1);
    p.weightedPred = r.flag();
    p.weightedBipredIdc = static_cast<int>(r.bits(2));
    r.se();
    r.se();
    r.se();
    r.flag();
    r.flag();
    p.redundantPicCntPresent = r.flag();
    if (r.failed()) return (reason = "picture parameter set cut short"), std::nullopt;
    return p;
}

void ParameterSets::put(Sps sps) { sps_[static_cast<std::size_t>(sps.id)] = std::move(sps); }
void ParameterSets::put(Pps pps) { pps_[static_cast<std::size_t>(pps.id)] = pps; }

const Sps* ParameterSets::sps(int id) const {
    if (id < 0 || id >= kMaxSpsCount || !sps_[static_cast<std::size_t>(id)]) return nullptr;
    return &*sps_[static_cast<std::size_t>(id)];
}

const Pps* ParameterSets::pps(int id) const {
    if (id < 0 || id >= kMaxPpsCount || !pps_[static_cast<std::size_t>(id)]) return nullptr;
    return &*pps_[static_cast<std::size_t>(id)];
}

namespace {

bool skipListModification(BitReader& r) {
    if (!r.flag()) return true;
    for (int n = 0; n < 100 && !r.failed(); ++n) {
        const std::uint32_t idc = r.ue();
        if (idc == 3) return true;
        if (idc > 5) return false;
        r.ue();
    }
    return false;
}

void skipWeights(BitReader& r, int refs, bool chroma) {
    for (int i = 0; i < refs && !r.failed(); ++i) {
        if (r.flag()) r.se(), r.se();
        if (chroma && r.flag())
            for (int j = 0; j < 2; ++j) r.se(), r.se();
    }
}

// Reads dec_ref_pic_marking; true when it holds operation 5.
bool readMarking(BitReader& r, bool idr) {
    if (idr) {
        r.bits(2);
        return false;
    }
    if (!r.flag()) return false;
    bool five = false;
    for (int n = 0; n < 100 && !r.failed(); ++n) {
        const std::uint32_t op = r.ue();
        if (op == 0) return five;
        if (op > 6) break;
        five = five || op == 5;
        if (op == 1 || op == 3) r.ue();
        if (op == 2) r.ue();
        if (op == 3 || op == 6) r.ue();
        if (op == 4) r.ue();
    }
    r.fail();  // no end, or an unknown operation: damaged
    return false;
}

bool readPictureOrderFields(BitReader& r, const Sps& sps, const Pps& pps, SliceHeader& h) {
    if (sps.pocType == 0) {
        h.pocLsb = r.bits(sps.log2MaxPocLsb);
        if (pps.bottomFieldPicOrderInFramePresent && !h.fieldPic) h.deltaPocBottom = r.se();
    } else if (sps.pocType == 1 && !sps.deltaPicOrderAlwaysZero) {
        h.deltaPoc[0] = r.se();
        if (pps.bottomFieldPicOrderInFramePresent && !h.fieldPic) h.deltaPoc[1] = r.se();
    }
    if (pps.redundantPicCntPresent) h.redundantPicCnt = r.ue();
    return !r.failed();
}

bool readReferenceFields(BitReader& r, const Sps& sps, const Pps& pps, SliceHeader& h, const char*& reason) {
    const bool b = h.type == SliceType::B;
    const bool p = h.type == SliceType::P || h.type == SliceType::SP;
    if (b) r.flag();  // direct_spatial_mv_pred_flag
    int l0 = pps.refIdxL0Default, l1 = pps.refIdxL1Default;
    if ((p || b) && r.flag()) {
        l0 = static_cast<int>(std::min<std::uint32_t>(r.ue(), 64)) + 1;
        if (b) l1 = static_cast<int>(std::min<std::uint32_t>(r.ue(), 64)) + 1;
    }
    if (l0 > 32 || l1 > 32) return (reason = "num_ref_idx_active out of range"), false;
    if ((p || b) && !skipListModification(r)) return (reason = "damaged reference list modification"), false;
    if (b && !skipListModification(r)) return (reason = "damaged reference list modification"), false;
    if ((pps.weightedPred && p) || (pps.weightedBipredIdc == 1 && b)) {
        const bool chroma = sps.chromaFormat != 0 && !sps.separateColourPlanes;
        r.ue();
        if (chroma) r.ue();
        skipWeights(r, l0, chroma);
        if (b) skipWeights(r, l1, chroma);
    }
    if (h.nalRefIdc != 0) h.mmco5 = readMarking(r, h.idr());
    return true;
}

}  // namespace

std::optional<SliceHeader> parseSliceHeader(std::span<const std::uint8_t> unit, const ParameterSets& sets,
                                            const char*& reason) {
    if (unit.empty()) return (reason = "empty NAL unit"), std::nullopt;
    SliceHeader h;
    h.nalType = nalType(unit[0]);
    h.nalRefIdc = nalRefIdc(unit[0]);
    BitReader r(unit, 1);
    h.firstMb = r.ue();
    const std::uint32_t type = r.ue();
    const std::uint32_t ppsId = r.ue();
    if (type > 9) return (reason = "slice_type out of range"), std::nullopt;
    h.type = static_cast<SliceType>(type % 5);
    const Pps* pps = sets.pps(static_cast<int>(std::min<std::uint32_t>(ppsId, kMaxPpsCount)));
    if (!pps) return (reason = "slice refers to a picture parameter set not seen"), std::nullopt;
    const Sps* sps = sets.sps(pps->spsId);
    if (!sps) return (reason = "slice refers to a sequence parameter set not seen"), std::nullopt;
    h.ppsId = pps->id;
    if (sps->separateColourPlanes) r.bits(2);
    h.frameNum = r.bits(sps->log2MaxFrameNum);
    if (!sps->frameMbsOnly) {
        h.fieldPic = r.flag();
        if (h.fieldPic) h.bottomField = r.flag();
    }
    if (h.idr()) h.idrPicId = r.ue();
    if (h.idr() && h.type != SliceType::I && h.type != SliceType::SI)
        return (reason = "IDR slice that is not intra"), std::nullopt;
    if (h.firstMb >= static_cast<std::uint32_t>(sps->widthMbs * sps->frameHeightMbs()))
        return (reason = "first_mb_in_slice beyond the picture"), std::nullopt;
    if (!readPictureOrderFields(r, *sps, *pps, h)) return (reason = "slice header cut short"), std::nullopt;
    if (!readReferenceFields(r, *sps, *pps, h, reason)) return std::nullopt;
    if (r.failed()) return (reason = "slice header cut short"), std::nullopt;
    return h;
}

int recoveryFrameCount(std::span<const std::uint8_t> unit) {
    // SEI sizes count payload bytes, so the reader walks message by message.
    BitReader r(unit, 1);
    constexpr int kRecoveryPoint = 6;
    for (int messages = 0; messages < 64 && !r.failed(); ++messages) {
        std::uint32_t type = 0, size = 0, b = 0;
        while ((b = r.bits(8)) == 0xFF && !r.failed()) type += 255;
        type += b;
        while ((b = r.bits(8)) == 0xFF && !r.failed()) size += 255;
        size += b;
        if (r.failed() || type == 0x80) return -1;  // 0x80: the rbsp trailing bits
        if (type == kRecoveryPoint) {
            const std::uint32_t count = r.ue();
            return r.failed() || count > 65535 ? -1 : static_cast<int>(count);
        }
        r.skipBits(size * 8);
    }
    return -1;
}

std::string profileName(int profile, int constraints) {
    switch (profile) {
        case 66: return (constraints & 0x40) ? "Constrained Baseline" : "Baseline";
        case 77: return "Main";
        case 88: return "Extended";
        case 100: return "High";
        case 110: return "High 10";
        case 122: return "High 4:2:2";
        case 244: return "High 4:4:4 Predictive";
        case 44: return "CAVLC 4:4:4 Intra";
        default: return "profile " + std::to_string(profile);
    }
}

std::string levelName(int level, int constraints) {
    if (level == 9 || (level == 11 && (constraints & 0x10))) return "1b";
    return std::to_string(level / 10) + "." + std::to_string(level % 10);
}

}  // namespace pemblor::recording
