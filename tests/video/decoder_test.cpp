// The FFmpeg decoder: the pictures of a bare libavcodec decode, in the render
// ports' plane order, on the decoder's thread, all of them by the time
// finish() returns; writes that fail instead of waiting when the decoder is
// behind; nothing after stop().
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "video/decoder.hpp"
#include "video/h264_clip.hpp"

namespace pemblor::video {
namespace {

using namespace std::chrono_literals;

struct Call {
    std::uint32_t kind, show, width, height;
    std::vector<std::uint8_t> picture;
};

// Collects the handler's calls, from the decoder's thread.
class Calls {
public:
    PictureHandler handler() {
        return [this](std::uint32_t, const std::uint8_t* picture, std::uint32_t show, std::uint32_t kind,
                      std::uint32_t w, std::uint32_t h, std::uint32_t) {
            Call c{kind, show, w, h, {}};
            if (kind == kDecodedPicture) c.picture.assign(picture, picture + w * h * 3 / 2);
            std::lock_guard lock(mutex_);
            calls_.push_back(std::move(c));
            return 1;
        };
    }
    std::vector<Call> taken() {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    std::size_t pictures() {
        std::lock_guard lock(mutex_);
        return static_cast<std::size_t>(
            std::count_if(calls_.begin(), calls_.end(), [](const Call& c) { return c.kind == kDecodedPicture; }));
    }

private:
    std::mutex mutex_;
    std::vector<Call> calls_;
};

bool waitFor(auto condition, std::chrono::seconds limit = 60s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

TEST(Decoder, HandsOutTheSamePicturesAsABareLibavcodecDecode) {
    const testing::Clip clip = testing::encodeClip(352, 288, 60);
    const auto reference = testing::referenceDecode(clip.bytes);
    ASSERT_EQ(reference.size(), 60u);

    Calls calls;
    DecodeOption option;
    option.handler = calls.handler();
    FfmpegDecoders decoders;
    std::unique_ptr<Decoder> decoder;
    ASSERT_EQ(decoders.open(option, decoder), 0);
    ASSERT_TRUE(decoder);
    ASSERT_EQ(decoder->start(), 0);
    // All bytes must go in: a write the full queue refuses is tried again.
    for (std::size_t at = 0; at < clip.bytes.size();) {
        const std::size_t n = std::min(kMaxDecoderWrite, clip.bytes.size() - at);
        if (decoder->write({clip.bytes.data() + at, n}, false) >= 0) {
            at += n;
        } else {
            std::this_thread::sleep_for(1ms);
        }
    }
    // The end of the stream: every picture is out before finish() returns.
    ASSERT_EQ(decoder->finish(), 0);
    EXPECT_EQ(calls.pictures(), reference.size());
    decoder.reset();

    const std::vector<Call> got = calls.taken();
    ASSERT_EQ(got.size(), reference.size() + 1);
    EXPECT_EQ(got[0].kind, kSizeNotice);
    EXPECT_EQ(got[0].width, 352u);
    EXPECT_EQ(got[0].height, 288u);
    for (std::size_t i = 0; i < reference.size(); ++i) {
        const Call& c = got[i + 1];
        ASSERT_EQ(c.kind, kDecodedPicture);
        EXPECT_EQ(c.show, 1u);
        EXPECT_EQ(c.width, 352u);
        EXPECT_EQ(c.height, 288u);
        EXPECT_TRUE(c.picture == reference[i]) << "picture " << i;
    }
}

TEST(Decoder, AFullQueueFailsWritesAndStopEndsThePictures) {
    const testing::Clip clip = testing::encodeClip(176, 144, 40);
    std::atomic<bool> entered{false};
    std::atomic<bool> release{false};
    std::atomic<int> pictures{0};
    DecodeOption option;
    option.queueDepth = 2;
    // The first picture holds the decoder up until the test lets it go.
    option.handler = [&](std::uint32_t, const std::uint8_t*, std::uint32_t, std::uint32_t kind, std::uint32_t,
                         std::uint32_t, std::uint32_t) {
        if (kind != kDecodedPicture) return 0;
        entered = true;
        while (!release.load()) std::this_thread::sleep_for(1ms);
        pictures.fetch_add(1);
        return 1;
    };
    FfmpegDecoders decoders;
    std::unique_ptr<Decoder> decoder;
    ASSERT_EQ(decoders.open(option, decoder), 0);
    ASSERT_EQ(decoder->start(), 0);
    // Until the decoder is held up every byte goes in; then the queue fills.
    int failed = 0;
    for (std::size_t at = 0; at < clip.bytes.size();) {
        const std::size_t n = std::min<std::size_t>(1024, clip.bytes.size() - at);
        if (decoder->write({clip.bytes.data() + at, n}, false) >= 0) {
            at += n;
        } else if (entered.load()) {
            ++failed;
            at += n;
        } else {
            std::this_thread::sleep_for(1ms);
        }
    }
    EXPECT_TRUE(entered.load());
    EXPECT_GT(failed, 0);
    release = true;
    ASSERT_TRUE(waitFor([&] { return pictures.load() > 0; }));
    EXPECT_EQ(decoder->stop(), 0);
    const int atStop = pictures.load();
    EXPECT_LT(decoder->write({clip.bytes.data(), 100}, false), 0);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(pictures.load(), atStop);
}

TEST(Decoder, RefusesBadOptionsAndWritesItCannotTake) {
    FfmpegDecoders decoders;
    const auto with = [](auto change) {
        DecodeOption o;
        change(o);
        return o;
    };
    const DecodeOption bad[] = {
        with([](DecodeOption& o) { o.format = 2; }),
        with([](DecodeOption& o) { o.queueDepth = 0; }),
        with([](DecodeOption& o) { o.queueDepth = 5000; }),
        with([](DecodeOption& o) { o.threads = 0; }),
    };
    for (const DecodeOption& option : bad) {
        std::unique_ptr<Decoder> decoder;
        EXPECT_LT(decoders.open(option, decoder), 0);
        EXPECT_FALSE(decoder);
    }
    std::unique_ptr<Decoder> decoder;
    ASSERT_EQ(decoders.open({}, decoder), 0);
    const std::vector<std::uint8_t> bytes(kMaxDecoderWrite + 1, 0);
    EXPECT_LT(decoder->write({bytes.data(), 10}, false), 0);  // not started
    ASSERT_EQ(decoder->start(), 0);
    EXPECT_LT(decoder->start(), 0);  // already running
    EXPECT_LT(decoder->write(bytes, false), 0);
    EXPECT_EQ(decoder->write({bytes.data(), kMaxDecoderWrite}, false), static_cast<int>(kMaxDecoderWrite));
    EXPECT_EQ(decoder->write({}, false), 0);
    EXPECT_EQ(decoder->stop(), 0);
    EXPECT_EQ(decoder->stop(), 0);
}

}  // namespace
}  // namespace pemblor::video
