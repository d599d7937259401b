// The card's live data as a receive thread gets it: eight H.264 streams that
// decode from their first IDR picture, marked blocks before each IDR picture,
// original video, preview and full-size pictures of the right sizes, and the
// switches starting and stopping them.
#include <chrono>
#include <map>

#include "driver/packed_time.hpp"
#include "sim/production/delivery.hpp"
#include "sim/settings/sim_report.hpp"
#include "sim_test_support.hpp"
#include "support/reference_decode.hpp"

namespace pemblor::sim::test {
namespace {

using namespace std::chrono_literals;

struct Marked {
    std::uint32_t number, stamp;
};

// What a receive thread has taken in, per slot and per code.
struct Received {
    std::array<Bytes, kStreamCount> streams;            // plain payloads in order
    std::array<std::vector<Marked>, kStreamCount> marked;
    std::array<bool, kStreamCount> startsMarked{};       // the slot's first block was marked
    std::map<std::uint32_t, std::vector<std::size_t>> pictureSizes;  // code -> sizes
    std::map<std::uint32_t, std::array<int, 4>> pictureChannels;     // code -> count per channel
    Bytes lastFullSize;
    std::size_t debugRecords = 0;
};

class SimStreams : public SimCardTest {
protected:
    void receive(std::string_view config) {
        startWith(config);
        mapping_ = call(driver::kMapAddresses, {}, 64).out;
        event_ = transport_->createEvent();
        ASSERT_TRUE(call(driver::kRegisterEvent, words({event_}), 0).result.ok);
    }
    std::span<std::uint8_t> area(std::uint32_t word) { return transport_->area(handle_, wordAt(mapping_, word)); }

    // Fetches as a receive thread does until done() or the deadline.
    template <typename Done>
    bool drain(Received& got, Done done, std::chrono::seconds limit = 90s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            if (transport_->waitEvent(event_, 1000) != driver::WaitResult::Signalled) continue;
            const Answer a = call(driver::kFetchNotifications, {}, 128);
            for (std::size_t i = 0; i < a.result.bytes / 16; ++i) take(got, a.out, i);
        }
        return true;
    }

    void take(Received& got, const Bytes& records, std::size_t i) {
        const std::uint32_t code = wordAt(records, i * 4), w1 = wordAt(records, i * 4 + 1),
                            w3 = wordAt(records, i * 4 + 3);
        if (code == kCodeStreamBlocks) return walk(got, w3);
        if (code == kCodeDebugRecords) {
            got.debugRecords += w3 / kDebugRecordSize;
            return;
        }
        got.pictureSizes[code].push_back(w3);
        ASSERT_LT(w1, 4u);
        ++got.pictureChannels[code][w1];
        if (code == kCodeFullPreview) got.lastFullSize.assign(area(13).begin(), area(13).begin() + w3);
    }

    void walk(Received& got, std::uint32_t n) {
        const auto run = area(1);
        std::size_t at = 0;
        while (at + 8 < n) {
            const std::uint32_t total = driver::loadU32(run, at), id = driver::loadU32(run, at + 4);
            ASSERT_GE(total, 8u);
            ASSERT_LE(at + total, n);
            ASSERT_LT(id, kStreamCount);
            const auto payload = run.subspan(at + 8, total - 8);
            const bool marked = payload.size() >= 4 && driver::loadU32(payload, 0) == 0xF0010000;
            if (got.streams[id].empty() && got.marked[id].empty()) got.startsMarked[id] = marked;
            if (marked) {
                EXPECT_EQ(payload.size(), 16u);
                got.marked[id].push_back({driver::loadU32(payload, 4), driver::loadU32(payload, 8)});
            } else {
                got.streams[id].insert(got.streams[id].end(), payload.begin(), payload.end());
            }
            at += total;
        }
        EXPECT_EQ(at, n);
    }

    Bytes mapping_;
    driver::EventHandle event_ = 0;
};

TEST_F(SimStreams, EveryStreamDecodesFromItsFirstIdrPictureAndThePicturesArrive) {
    // A queue deep enough that a drain slowed down by ThreadSanitizer on a
    // busy machine still loses nothing: the streams must decode whole.
    receive("[card 0]\ndsp = running\nspeed = 4\nqueue = 65536\n");
    ASSERT_TRUE(call(driver::kSetDspTime, words({2008, 6, 18, 9, 14, 24}), 0).result.ok);
    Received got;
    ASSERT_TRUE(drain(got, [&] {
        for (const auto& m : got.marked)
            if (m.size() < 3) return false;
        return got.pictureSizes[kCodeOriginalVideo].size() >= 2 && got.pictureSizes[kCodeFullPreview].size() >= 4;
    }));
    for (std::size_t slot = 0; slot < kStreamCount; ++slot) {
        SCOPED_TRACE("slot " + std::to_string(slot));
        EXPECT_TRUE(got.startsMarked[slot]);  // the marked block comes before the first IDR picture
        // Marked blocks come a GOP (25 pictures) apart, stamped with the card's clock.
        for (std::size_t i = 1; i < got.marked[slot].size(); ++i)
            EXPECT_EQ(got.marked[slot][i].number, got.marked[slot][i - 1].number + 25);
        const driver::DateTime t = driver::unpackTime(got.marked[slot].back().stamp);
        EXPECT_EQ(t.year * 10000 + t.month * 100 + t.day, 20080618);
        EXPECT_EQ(t.hour, 9);
        const testing::ReferenceDecode d = testing::referenceDecode(got.streams[slot]);
        EXPECT_EQ(d.errors, 0);
        EXPECT_GE(d.pictures.size(), 50u);
        EXPECT_EQ(d.width, slot < 4 ? 352 : 176);
        EXPECT_EQ(d.height, slot < 4 ? 288 : 144);
    }
    // Pictures: 704 x 576 4:2:2 original video and full-size, 352 x 288 previews of every channel.
    for (std::size_t size : got.pictureSizes[kCodeOriginalVideo]) EXPECT_EQ(size, 704u * 576 * 2);
    for (std::size_t size : got.pictureSizes[kCodeFullPreview]) EXPECT_EQ(size, 704u * 576 * 2);
    for (std::size_t size : got.pictureSizes[kCodePreviewNtscCif]) EXPECT_EQ(size, 352u * 288 * 2);
    for (int count : got.pictureChannels[kCodePreviewNtscCif]) EXPECT_GT(count, 0);
    EXPECT_GT(got.pictureChannels[kCodeFullPreview][1], 0);  // full-size pictures take the channels in turn
    EXPECT_GT(got.debugRecords, 0u);
    EXPECT_EQ(wordAt(info(1).out, 10), 0u) << simReportJson(*transport_);  // nothing dropped
}

TEST_F(SimStreams, FullSizePicturesMoveBetweenTheirFields) {
    receive("[card 0]\ndsp = running\nfullsize_fps = 25\n");
    ASSERT_TRUE(call(driver::kChannelSwitch, words({0, 0}), 0).result.ok);  // pictures only
    Received got;
    ASSERT_TRUE(drain(got, [&] { return !got.lastFullSize.empty(); }));
    // The sweeping box is white (235) in the picture's middle rows; its two
    // fields show it in different places.
    const Bytes& p = got.lastFullSize;
    std::size_t combed = 0;
    for (std::size_t y = 280; y < 296; y += 2)
        for (std::size_t x = 0; x < 704; ++x)
            if ((p[y * 704 + x] == 235) != (p[(y + 1) * 704 + x] == 235)) ++combed;
    EXPECT_GT(combed, 8u * 8);
}

TEST_F(SimStreams, SwitchesStartAndStopStreamsAndPictures) {
    receive("[card 0]\ndsp = running\nspeed = 4\nntsc = yes\npreview_codes = 240 241 242 242\n");
    // Channel 2's encoding and channel 1's pictures off: their data stop.
    ASSERT_TRUE(call(driver::kChannelSwitch, words({1, 0}), 0).result.ok);
    ASSERT_TRUE(call(driver::kSubChannelSwitch, words({0, 0}), 0).result.ok);
    Received before;
    ASSERT_TRUE(drain(before, [&] { return before.marked[0].size() >= 2; }));
    Received got;
    ASSERT_TRUE(drain(got, [&] { return got.marked[0].size() >= 2 && got.pictureSizes[241].size() >= 2; }));
    EXPECT_TRUE(got.streams[1].empty());
    EXPECT_TRUE(got.streams[5].empty());
    EXPECT_FALSE(got.streams[2].empty());
    EXPECT_TRUE(got.pictureSizes[kCodeOriginalVideo].empty());  // original video is channel 1's
    EXPECT_EQ(got.pictureChannels[240][0], 0);
    // NTSC heights, each channel with its code.
    for (std::size_t size : got.pictureSizes[241]) EXPECT_EQ(size, 176u * 120 * 2);
    for (std::size_t size : got.pictureSizes[242]) EXPECT_EQ(size, 352u * 240 * 2);
    for (std::size_t size : got.pictureSizes[kCodeFullPreview]) EXPECT_EQ(size, 704u * 480 * 2);
    // Switched on again, channel 2 starts with a marked block and an IDR picture.
    ASSERT_TRUE(call(driver::kChannelSwitch, words({1, 1}), 0).result.ok);
    Received again;
    ASSERT_TRUE(drain(again, [&] { return again.marked[1].size() >= 1 && again.streams[1].size() > 0; }));
    EXPECT_TRUE(again.startsMarked[1]);
    EXPECT_GE(testing::referenceDecode(again.streams[1]).pictures.size(), 1u);
}

}  // namespace
}  // namespace pemblor::sim::test
