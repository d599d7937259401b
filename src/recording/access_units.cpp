#include "recording/access_units.hpp"

#include "recording/h264_bits.hpp"

namespace pemblor::recording {

namespace {

bool startsUnit(int type) { return type == nal::kSei || type == nal::kSps || type == nal::kPps || (type >= 14 && type <= 18); }

void appendLength(std::vector<std::uint8_t>& out, std::size_t n) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(n >> shift));
}

}  // namespace

AccessUnitSplitter::AccessUnitSplitter(Sink sink, UnitBytes keep, Damage damage)
    : sink_(std::move(sink)),
      damage_(damage ? std::move(damage) : [](std::uint64_t, const char*) {}),
      keep_(keep),
      nals_([this](const NalUnit& n) { nal(n); }, [this](std::uint64_t at, const char* why) { damage_(at, why); }) {}

void AccessUnitSplitter::push(std::span<const std::uint8_t> bytes, std::optional<std::uint64_t> offset) {
    const std::uint64_t at = offset.value_or(nextOffset_);
    nals_.push(bytes, at);
    nextOffset_ = at + bytes.size();
}

void AccessUnitSplitter::finish() {
    nals_.finish();
    emit();
}

std::span<const std::uint8_t> AccessUnitSplitter::spsUnit(int id) const {
    if (id < 0 || id >= kMaxSpsCount) return {};
    return spsUnits_[static_cast<std::size_t>(id)];
}

std::span<const std::uint8_t> AccessUnitSplitter::ppsUnit(int id) const {
    if (id < 0 || id >= kMaxPpsCount) return {};
    return ppsUnits_[static_cast<std::size_t>(id)];
}

void AccessUnitSplitter::nal(const NalUnit& n) {
    const std::uint8_t header = n.unit[0];
    if (header & 0x80) {
        damage_(n.offset, "NAL unit with its forbidden bit set, skipped");
        return;
    }
    const int type = nalType(header);
    if (type == nal::kSlice || type == nal::kIdr || type == nal::kPartitionA) return slice(n);
    if (type == nal::kDelimiter || (startsUnit(type) && unit_.picture)) emit();
    if (type == nal::kSps || type == nal::kPps) return parameterSet(n, type);
    if (type == nal::kSei) {
        const int frames = recoveryFrameCount(n.unit);
        if (frames >= 0) unit_.recoveryFrames = frames;
    }
    append(n);
}

void AccessUnitSplitter::parameterSet(const NalUnit& n, int type) {
    const char* reason = "";
    if (type == nal::kSps) {
        auto sps = parseSps(n.unit, reason);
        if (!sps) return damage_(n.offset, reason);
        spsUnits_[static_cast<std::size_t>(sps->id)].assign(n.unit.begin(), n.unit.end());
        sets_.put(std::move(*sps));
    } else {
        const auto pps = parsePps(n.unit, reason);
        if (!pps) return damage_(n.offset, reason);
        ppsUnits_[static_cast<std::size_t>(pps->id)].assign(n.unit.begin(), n.unit.end());
        sets_.put(*pps);
    }
    setsSeen_ = true;
    append(n);
}

void AccessUnitSplitter::slice(const NalUnit& n) {
    const char* reason = "";
    const auto h = parseSliceHeader(n.unit, sets_, reason);
    if (!h) {
        if (setsSeen_) return damage_(n.offset, reason);
        // Before any parameter sets (a recording that began within a group):
        // a picture nobody can read, which begins where its first slice does.
        BitReader r(n.unit, 1);
        if (r.ue() == 0 && !r.failed()) {
            if (unit_.picture) emit();
            unit_.picture = true;
        }
        return append(n);
    }
    if (h->redundantPicCnt > 0) return append(n);  // a spare copy of slices of this picture
    if (startsPicture(*h)) {
        if (unit_.picture) emit();
        const Sps* sps = sets_.sps(sets_.pps(h->ppsId)->spsId);
        unit_.picture = unit_.readable = true;
        unit_.idr = h->idr();
        unit_.slice = *h;
        unit_.sps = sps;
        unit_.order = counter_.next(*h, *sps);
        unit_.width = sps->width;
        unit_.height = sps->height;
    }
    unit_.bSlices = unit_.bSlices || h->type == SliceType::B;
    lastSlice_ = *h;
    append(n);
}

// The first slice of a new picture differs from the last slice of this one
// in one of the ways the standard lists.
bool AccessUnitSplitter::startsPicture(const SliceHeader& h) const {
    if (!unit_.readable || !lastSlice_) return true;
    const SliceHeader& p = *lastSlice_;
    if (h.firstMb == 0 || h.frameNum != p.frameNum || h.ppsId != p.ppsId || h.fieldPic != p.fieldPic ||
        h.bottomField != p.bottomField || (h.nalRefIdc == 0) != (p.nalRefIdc == 0) || h.idr() != p.idr() ||
        (h.idr() && h.idrPicId != p.idrPicId))
        return true;
    const Sps* sps = sets_.sps(sets_.pps(h.ppsId)->spsId);
    if (sps->pocType == 0) return h.pocLsb != p.pocLsb || h.deltaPocBottom != p.deltaPocBottom;
    if (sps->pocType == 1) return h.deltaPoc != p.deltaPoc;
    return false;
}

void AccessUnitSplitter::append(const NalUnit& n) {
    if (!open_) {
        open_ = true;
        unit_.offset = n.offset;
    }
    if (!oversize_ && unit_.size + n.whole.size() > kMaxAccessUnit) {
        damage_(unit_.offset, "access unit larger than 32 MiB, skipped");
        oversize_ = true;
        unit_.bytes.clear();
    }
    unit_.size += n.whole.size();
    if (oversize_) return;
    if (keep_ == UnitBytes::AsInput) {
        unit_.bytes.insert(unit_.bytes.end(), n.whole.begin(), n.whole.end());
    } else if (keep_ == UnitBytes::LengthPrefixed) {
        appendLength(unit_.bytes, n.unit.size());
        unit_.bytes.insert(unit_.bytes.end(), n.unit.begin(), n.unit.end());
    }
}

void AccessUnitSplitter::emit() {
    if (open_ && !oversize_) sink_(unit_);
    std::vector<std::uint8_t> room = std::move(unit_.bytes);
    room.clear();
    unit_ = AccessUnit{};
    unit_.bytes = std::move(room);
    open_ = oversize_ = false;
    lastSlice_.reset();
}

}  // namespace pemblor::recording
