#pragma once
// The order in which an H.264 stream's pictures are shown, and their
// timestamps, found while the access units pass by in decoding order:
// fields are paired into pictures, each picture's place in showing order
// comes from its picture order count within its period (an IDR picture or
// memory operation 5 starts a new one), and it is final once more pictures
// have followed than the stream may hold back (its reorder depth). The
// stream starts at the first picture a decoder can start at: an IDR picture
// or a recovery point. Only a reorder depth's worth of pictures is held.
//
// Timestamps count pictures: pts is the place in showing order, dts the
// place in decoding order less the reorder depth, so dts never passes pts.
#include <climits>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "recording/access_units.hpp"

namespace pemblor::recording {

struct TimedPicture {
    std::vector<std::uint8_t> bytes;  // the picture's access units (both fields of a pair)
    std::int64_t pts = 0;
    std::int64_t dts = 0;
    bool key = false;  // an IDR picture or a recovery point: a decoder may start here
    bool idr = false;
    std::uint64_t offset = 0;  // of its first unit in the input
};

enum class Coding { Progressive, InterlacedFrames, Mbaff, FieldPairs };

struct StreamFacts {
    std::uint64_t accessUnits = 0;  // holding a picture (a field each)
    std::uint64_t idrUnits = 0;
    std::uint64_t pictures = 0;  // from the start on: frames, field pairs, single fields
    std::uint64_t frames = 0, mbaffFrames = 0, interlacedFrames = 0, fieldPairs = 0, singleFields = 0;
    bool bSlices = false;
    int reorderDepth = 0;  // the deepest reordering seen
    std::uint64_t keyPictures = 0;
    std::uint64_t longestGroup = 0;  // pictures from one key picture to the next
    std::uint64_t leftOut = 0;       // pictures before the start
    std::uint64_t notShowable = 0;   // after it: leading pictures, pictures still refreshing
    // Of the sequence parameter set at the start (else the first seen).
    int profile = 0, constraints = 0, level = 0, width = 0, height = 0;
    bool frameMbsOnly = true, mbaff = false;
    std::uint32_t rateNum = 0, rateDen = 0;  // pictures a second from the stream's timing; 0 without
    std::uint64_t damaged = 0;
    std::uint64_t firstDamageOffset = 0;
    std::string firstDamage;

    bool started() const { return keyPictures > 0; }
    // The coding shapes seen, most specific first.
    std::vector<Coding> codings() const;
};

std::string codingName(Coding c);

class StreamOrder {
public:
    // sink: each picture from the start on, in decoding order, once its
    // timestamps are known. May be empty (only the facts are wanted).
    using Sink = std::function<void(TimedPicture&)>;
    explicit StreamOrder(Sink sink = {});

    void add(AccessUnit& unit);
    void damage(std::uint64_t offset, const char* reason);
    void finish();

    const StreamFacts& facts() const { return facts_; }
    // Pictures a decoder may hold back (the dts offset); known once started.
    int delay() const { return delay_; }

private:
    struct Held {  // a picture waiting for its place in showing order
        std::uint64_t index;
        std::uint32_t period;
        std::int64_t order;
    };
    struct Waiting {
        TimedPicture picture;
        bool placed = false;
    };

    void start(const AccessUnit& unit);
    void openPicture(AccessUnit& unit);
    bool pairs(const AccessUnit& unit) const;
    void closePicture();
    void countShape();
    void placeUntil(std::size_t keep);
    void release();

    Sink sink_;
    StreamFacts facts_;
    bool started_ = false;
    int delay_ = 0;
    std::vector<std::uint8_t> leadingUnits_;  // units without a picture, for the next picture
    // The picture being gathered (a first field waits for its second).
    bool open_ = false;
    AccessUnit first_;  // its first field or frame, bytes taken
    std::int64_t openOrder_ = 0;
    bool pairOpen_ = false;  // its second field has joined it
    bool openMbaff_ = false, openFrameMbsOnly_ = true;
    // Before the start: the last picture left out, so a second field is not counted twice.
    SliceHeader lastLeftOut_;
    bool lastLeftOutField_ = false;
    std::uint64_t decoded_ = 0;  // pictures from the start on
    std::uint32_t period_ = 0;
    std::int64_t startOrder_ = 0;
    std::uint64_t sinceKey_ = 0;
    bool refreshing_ = false;
    std::uint32_t refreshedAt_ = 0;  // frame_num whose picture ends the refresh
    std::vector<Held> held_;
    std::uint64_t shown_ = 0;  // places handed out
    std::deque<Waiting> waiting_;
    std::uint64_t waitingBase_ = 0;  // decoding index of waiting_.front()
    std::int64_t lastDts_ = INT64_MIN / 2;
};

}  // namespace pemblor::recording
