#include "recording/stream_order.hpp"

#include <algorithm>
#include <numeric>

namespace pemblor::recording {

namespace {
constexpr const char* kTooDeep = "pictures reordered deeper than the stream declares";
}  // namespace

std::vector<Coding> StreamFacts::codings() const {
    std::vector<Coding> seen;
    if (frames > mbaffFrames + interlacedFrames) seen.push_back(Coding::Progressive);
    if (interlacedFrames > 0) seen.push_back(Coding::InterlacedFrames);
    if (mbaffFrames > 0) seen.push_back(Coding::Mbaff);
    if (fieldPairs + singleFields > 0) seen.push_back(Coding::FieldPairs);
    return seen;
}

std::string codingName(Coding c) {
    switch (c) {
        case Coding::Progressive: return "progressive";
        case Coding::InterlacedFrames: return "interlaced frames";
        case Coding::Mbaff: return "MBAFF";
        case Coding::FieldPairs: return "field pairs";
    }
    return "";
}

StreamOrder::StreamOrder(Sink sink) : sink_(std::move(sink)) {}

void StreamOrder::damage(std::uint64_t offset, const char* reason) {
    if (facts_.damaged++ == 0) {
        facts_.firstDamageOffset = offset;
        facts_.firstDamage = reason;
    }
}

void StreamOrder::add(AccessUnit& unit) {
    if (!unit.picture) {
        // Units without a picture (parameter sets on their own) go with the next picture.
        if (leadingUnits_.size() + unit.bytes.size() <= kMaxAccessUnit)
            leadingUnits_.insert(leadingUnits_.end(), unit.bytes.begin(), unit.bytes.end());
        return;
    }
    ++facts_.accessUnits;
    if (unit.idr) ++facts_.idrUnits;
    if (unit.readable && facts_.profile == 0) {
        facts_.profile = unit.sps->profile;
        facts_.level = unit.sps->level;
    }
    if (open_ && pairs(unit)) {
        first_.bytes.insert(first_.bytes.end(), unit.bytes.begin(), unit.bytes.end());
        openOrder_ = std::min(openOrder_, unit.order.picture(unit.slice));
        pairOpen_ = true;
        return closePicture();
    }
    if (open_) closePicture();
    if (!started_) {
        const bool canStart = unit.readable && (unit.idr || unit.recoveryFrames >= 0);
        if (!canStart) {
            // The second field of a left-out pair is not another picture.
            const bool secondField = unit.readable && unit.slice.fieldPic && lastLeftOutField_ &&
                                     lastLeftOut_.bottomField != unit.slice.bottomField &&
                                     lastLeftOut_.frameNum == unit.slice.frameNum;
            if (!secondField) ++facts_.leftOut;
            lastLeftOutField_ = unit.readable && unit.slice.fieldPic && !secondField;
            if (unit.readable) lastLeftOut_ = unit.slice;
            leadingUnits_.clear();
            return;
        }
        start(unit);
    }
    if (!unit.readable) return;
    openPicture(unit);
    if (!unit.slice.fieldPic) closePicture();
}

void StreamOrder::start(const AccessUnit& unit) {
    started_ = true;
    const Sps& sps = *unit.sps;
    delay_ = sps.reorderDepth();
    startOrder_ = unit.order.picture(unit.slice);
    facts_.profile = sps.profile;
    facts_.constraints = sps.constraints;
    facts_.level = sps.level;
    facts_.width = sps.width;
    facts_.height = sps.height;
    facts_.frameMbsOnly = sps.frameMbsOnly;
    facts_.mbaff = sps.mbaff;
    if (sps.timing && sps.unitsInTick > 0 && sps.timeScale > 0) {
        // A frame lasts two ticks (one a field).
        std::uint64_t num = sps.timeScale, den = std::uint64_t{2} * sps.unitsInTick;
        const std::uint64_t g = std::gcd(num, den);
        num /= g;
        den /= g;
        if (num <= 0x7FFFFFFF && den <= 0x7FFFFFFF && num >= den && num <= 1000 * den) {
            facts_.rateNum = static_cast<std::uint32_t>(num);
            facts_.rateDen = static_cast<std::uint32_t>(den);
        }
    }
    if (!unit.idr && unit.recoveryFrames > 0) {
        refreshing_ = true;
        const std::uint64_t maxFrameNum = std::uint64_t{1} << sps.log2MaxFrameNum;
        refreshedAt_ = static_cast<std::uint32_t>((unit.slice.frameNum + std::uint64_t(unit.recoveryFrames)) % maxFrameNum);
    }
}

bool StreamOrder::pairs(const AccessUnit& unit) const {
    const SliceHeader& a = first_.slice;
    const SliceHeader& b = unit.slice;
    return unit.readable && a.fieldPic && b.fieldPic && a.bottomField != b.bottomField && a.frameNum == b.frameNum &&
           !unit.idr && (a.nalRefIdc == 0) == (b.nalRefIdc == 0);
}

void StreamOrder::openPicture(AccessUnit& unit) {
    first_.slice = unit.slice;
    first_.idr = unit.idr;
    first_.recoveryFrames = unit.recoveryFrames;
    first_.offset = unit.offset;
    first_.bytes = std::move(leadingUnits_);
    leadingUnits_.clear();
    first_.bytes.insert(first_.bytes.end(), unit.bytes.begin(), unit.bytes.end());
    openOrder_ = unit.order.picture(unit.slice);
    openMbaff_ = unit.sps->mbaff;
    openFrameMbsOnly_ = unit.sps->frameMbsOnly;
    facts_.bSlices = facts_.bSlices || unit.bSlices;
    pairOpen_ = false;
    open_ = true;
}

void StreamOrder::countShape() {
    if (pairOpen_) {
        ++facts_.fieldPairs;
    } else if (first_.slice.fieldPic) {
        ++facts_.singleFields;
    } else {
        ++facts_.frames;
        if (openMbaff_)
            ++facts_.mbaffFrames;
        else if (!openFrameMbsOnly_)
            ++facts_.interlacedFrames;
    }
}

void StreamOrder::closePicture() {
    open_ = false;
    countShape();
    const SliceHeader& s = first_.slice;
    const std::uint64_t index = decoded_++;
    const bool key = first_.idr || first_.recoveryFrames >= 0;
    if ((first_.idr || s.mmco5) && index > 0) {
        ++period_;
        placeUntil(0);  // the old period's pictures all come first
    }
    if (key) {
        ++facts_.keyPictures;
        if (index > 0) facts_.longestGroup = std::max(facts_.longestGroup, sinceKey_);
        sinceKey_ = 0;
    }
    ++sinceKey_;
    ++facts_.pictures;
    if (refreshing_) {
        if (s.nalRefIdc != 0 && s.frameNum == refreshedAt_)
            refreshing_ = false;
        else
            ++facts_.notShowable;
    } else if (period_ == 0 && openOrder_ < startOrder_) {
        ++facts_.notShowable;  // a leading picture: it refers to pictures before the start
    }
    Waiting w;
    w.picture.bytes = std::move(first_.bytes);
    first_.bytes.clear();
    w.picture.dts = static_cast<std::int64_t>(index) - delay_;
    w.picture.key = key;
    w.picture.idr = first_.idr;
    w.picture.offset = first_.offset;
    waiting_.push_back(std::move(w));
    held_.push_back({index, period_, openOrder_});
    placeUntil(static_cast<std::size_t>(delay_));
    release();
}

// The held picture that comes first in showing order is final.
void StreamOrder::placeUntil(std::size_t keep) {
    while (held_.size() > keep) {
        const auto first = std::min_element(held_.begin(), held_.end(), [](const Held& a, const Held& b) {
            return a.period != b.period ? a.period < b.period : a.order < b.order;
        });
        Waiting& w = waiting_[static_cast<std::size_t>(first->index - waitingBase_)];
        w.picture.pts = static_cast<std::int64_t>(shown_++);
        w.placed = true;
        const std::int64_t depth = static_cast<std::int64_t>(first->index) - w.picture.pts;
        facts_.reorderDepth = std::max(facts_.reorderDepth, static_cast<int>(std::min<std::int64_t>(depth, 1 << 20)));
        held_.erase(first);
    }
}

void StreamOrder::release() {
    while (!waiting_.empty() && waiting_.front().placed) {
        TimedPicture& p = waiting_.front().picture;
        if (p.pts < p.dts || p.dts <= lastDts_) {
            // The stream holds pictures back longer than it said: keep the
            // timestamps usable, and say so.
            damage(p.offset, kTooDeep);
            p.dts = std::max(lastDts_ + 1, std::min(p.dts, p.pts));
            p.pts = std::max(p.pts, p.dts);
        }
        lastDts_ = p.dts;
        if (sink_) sink_(p);
        waiting_.pop_front();
        ++waitingBase_;
    }
}

void StreamOrder::finish() {
    if (open_) closePicture();
    placeUntil(0);
    release();
    if (started_) facts_.longestGroup = std::max(facts_.longestGroup, sinceKey_);
}

}  // namespace pemblor::recording
