// Closing the video windows while pictures arrive without pause: once a
// window is retracted no call is inside it, so destroying it right after is
// safe. Run under ThreadSanitizer to see it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "capture/published.hpp"
#include "support/fake_host.hpp"
#include "support/video_fakes.hpp"
#include "video/h264_clip.hpp"
#include "video/player_window.hpp"
#include "video/preview_window.hpp"

namespace pemblor::video {
namespace {

using pemblor::testing::CallLog;
using pemblor::testing::FakeHost;
using pemblor::testing::TestRenderer;

constexpr int kRounds = 12;

// Runs `feed` on a thread of its own, as fast as it can, until destroyed.
class Feeder {
public:
    template <typename Fn>
    explicit Feeder(Fn feed) : thread_([this, feed] {
          while (!done_.load()) {
              if (feed()) calls_.fetch_add(1);
          }
      }) {}
    ~Feeder() {
        done_ = true;
        thread_.join();
    }
    long calls() const { return calls_.load(); }

private:
    std::atomic<bool> done_{false};
    std::atomic<long> calls_{0};
    std::thread thread_;
};

void waitForCalls(const Feeder& feeder, long more) {
    const long target = feeder.calls() + more;
    while (feeder.calls() < target) std::this_thread::yield();
}

TEST(WindowLifetime, PreviewWindowsComeAndGoWhileFullSizePicturesArrive) {
    FakeHost host;
    CallLog log;
    TestRenderer renderer(log);
    capture::Published<common::PreviewSink> published;
    std::vector<std::uint8_t> full(704 * 576 * 2, 90);
    std::vector<std::uint8_t> slots(4 * 352 * 288 * 2, 60);
    std::atomic<std::uint32_t> n{0};
    Feeder feeder([&] {
        const std::uint32_t i = n.fetch_add(1);
        const std::uint32_t channel = i % 4;
        return published.use([&](common::PreviewSink& sink) {
            if (i % 5 == 0) {
                sink.showPreviewFrame(channel, full, 247);
            } else {
                sink.showPreviewFrame(channel, std::span(slots).subspan(channel * 352 * 288 * 2), 240 + i % 3);
            }
        });
    });
    for (int round = 0; round < kRounds; ++round) {
        auto window = std::make_unique<PreviewWindow>(host, renderer);
        window->dialog().click(preview::kDeinterlace);
        if (round % 2) window->dialog().click(preview::kNtsc);
        published.publish(window.get());
        window->dialog().click(preview::kStart);
        waitForCalls(feeder, 20);
        window->dialog().cancel();
        published.retract();
        window.reset();
    }
    EXPECT_GT(renderer.videoCalls(1) + renderer.videoCalls(2) + renderer.videoCalls(3) + renderer.videoCalls(4), 0);
}

TEST(WindowLifetime, PlayerWindowsComeAndGoWhileTheStreamArrives) {
    const testing::Clip clip = testing::encodeClip(176, 144, 50);
    FakeHost host;
    CallLog log;
    TestRenderer renderer(log);
    FfmpegDecoders decoders;
    capture::Published<common::StreamFeed> published;
    std::atomic<std::size_t> unit{0};
    Feeder feeder([&] {
        // Access units in the order of the clip, over and over.
        const std::size_t i = unit.fetch_add(1) % clip.unitSizes.size();
        std::size_t at = 0;
        for (std::size_t k = 0; k < i; ++k) at += clip.unitSizes[k];
        // Paced, so that the decoder keeps up often enough to show pictures.
        std::this_thread::sleep_for(std::chrono::microseconds(300));
        return published.use([&](common::StreamFeed& feed) {
            feed.feedStream({clip.bytes.data() + at, clip.unitSizes[i]});
        });
    });
    for (int round = 0; round < kRounds; ++round) {
        auto window = std::make_unique<PlayerWindow>(host, renderer, decoders);
        published.publish(window.get());
        window->dialog().click(player::kStart);
        waitForCalls(feeder, 60);
        if (round % 2) {
            window->dialog().click(ui::kIdOk);
        } else {
            window->dialog().cancel();
        }
        published.retract();
        window.reset();
    }
    EXPECT_GT(renderer.videoCalls(0), 0);
}

}  // namespace
}  // namespace pemblor::video
