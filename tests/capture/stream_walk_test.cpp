// The walk over a run of stream blocks: slots, counting before checking, and
// the edges where a run, a block or the area ends.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/stream_walk.hpp"

namespace pemblor::capture {
namespace {

using Bytes = std::vector<std::uint8_t>;

void putU32(Bytes& b, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A block header with a total length and a stream id, then the payload bytes.
Bytes block(std::uint32_t total, std::uint32_t id, Bytes payload = {}) {
    Bytes b;
    putU32(b, total);
    putU32(b, id);
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

Bytes join(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// One walked block in a comparable form: slot/length/marked/whole/payload.
std::string seen(const StreamBlock& b) {
    std::string s = std::to_string(b.slot) + "/" + std::to_string(b.payloadLength) + (b.marked ? "/M" : "/P") +
                    (b.whole ? "/W:" : "/-:");
    for (std::uint8_t byte : b.payload) s += std::to_string(byte) + ",";
    return s;
}

const Bytes kMarker = {0x00, 0x00, 0x01, 0xF0};

TEST(StreamWalk, EdgesOfRunsBlocksAndAreas) {
    struct Case {
        const char* what;
        Bytes area;
        std::uint32_t n;
        std::vector<std::string> want;
    };
    const std::vector<Case> cases{
        {"ids pick slots: below 4 their own, others 4 + id mod 4",
         join({block(9, 1, {1}), block(9, 5, {5}), block(9, 9, {9}), block(9, 2, {2}), block(9, 0xFFFFFFFF, {7})}), 45,
         {"1/1/P/W:1,", "5/1/P/W:5,", "5/1/P/W:9,", "2/1/P/W:2,", "7/1/P/W:7,"}},
        {"a header ending exactly at n is not read", join({block(10, 0, {1, 2}), block(10, 3)}), 18,
         {"0/2/P/W:1,2,"}},
        {"one byte more and it is read, its payload past n", join({block(10, 0, {1, 2}), block(10, 3, {4})}), 19,
         {"0/2/P/W:1,2,", "3/2/P/-:"}},
        {"total length 8: no payload, marked by the word after it", join({block(8, 2), kMarker}), 12, {"2/0/M/W:"}},
        {"total length 8 followed by a plain word", join({block(8, 6), block(8, 6), Bytes{0}}), 17,
         {"6/0/P/W:", "6/0/P/W:"}},
        {"marked block: the first payload word", join({block(24, 0, join({kMarker, Bytes(12, 0xAA)}))}), 24,
         {"0/16/M/W:0,0,1,240,170,170,170,170,170,170,170,170,170,170,170,170,"}},
        {"a total below 8 is counted with its wrapped length, then ends the walk",
         join({block(4, 3), block(9, 0, {1})}), 17, {"3/4294967292/P/-:"}},
        {"a payload past n ends the walk: counted, not whole", join({block(100, 1, Bytes(40, 1)), block(9, 0, {1})}),
         48, {"1/92/P/-:"}},
        {"n past the area is cut to the area", join({block(10, 4, {1, 2}), block(10, 5, {3, 4})}), 0xFFFFFFFF,
         {"4/2/P/W:1,2,", "5/2/P/W:3,4,"}},
        {"a block past the area's end is not whole", join({block(10, 0, {1, 2}), block(30, 1, {3, 4})}), 0xFFFFFFFF,
         {"0/2/P/W:1,2,", "1/22/P/-:"}},
        {"the marker word outside the area reads as plain", join({block(8, 0), Bytes{0x00, 0x00}}), 10,
         {"0/0/P/W:"}},
        {"n of 8 or less reads nothing", block(8, 0, kMarker), 8, {}},
        {"an empty area reads nothing", {}, 100, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> got;
        walkStreamBlocks(c.area, c.n, [&](const StreamBlock& b) { got.push_back(seen(b)); });
        EXPECT_EQ(got, c.want) << c.what;
    }
}

TEST(StreamWalk, OnlyTheFirstBlockOfAPictureBeginsOne) {
    struct Case {
        const char* what;
        Bytes payload;
        bool begins;
    };
    const std::vector<Case> cases{
        {"a delimiter after a four-byte start code", {0, 0, 0, 1, 0x09, 0xF0}, true},
        {"sequence parameters (an IDR picture's first NAL unit)", {0, 0, 0, 1, 0x67, 0x42}, true},
        {"a slice with the first macroblock, three-byte start code", {0, 0, 1, 0x41, 0x9A}, true},
        {"an IDR slice with the first macroblock", {0, 0, 0, 1, 0x65, 0x88}, true},
        {"a later slice of the same picture", {0, 0, 0, 1, 0x41, 0x1A}, false},
        {"picture parameters are never first", {0, 0, 0, 1, 0x68, 0xCE}, false},
        {"supplemental information is never first", {0, 0, 0, 1, 0x06, 0x05}, false},
        {"a block cut inside a NAL unit", {0x3C, 0x00, 0x00, 0x01, 0x41}, false},
        {"a marked block", join({kMarker, Bytes(12, 0)}), false},
        {"a slice header cut after its type", {0, 0, 1, 0x41}, false},
        {"a start code alone", {0, 0, 0, 1}, false},
        {"nothing", {}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(beginsPicture(c.payload), c.begins) << c.what;
}

}  // namespace
}  // namespace pemblor::capture
