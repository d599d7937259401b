#pragma once
// The live preview (dialog 131, "Preiview"): the four channels' preview
// pictures on render ports 1 to 4, in four areas or channel 1 alone
// ("Single"). The receive thread hands pictures over through
// showPreviewFrame(); the boxes it reads there are published through atomics,
// since only the user-interface thread touches the dialog.
#include <atomic>
#include <cstdint>
#include <mutex>
#include <span>

#include "common/stream_consumers.hpp"
#include "ui/dialog.hpp"
#include "ui/host.hpp"
#include "video/renderer.hpp"

namespace pemblor::video {

namespace preview {
inline constexpr int kArea1 = 1005;  // channel 1, top left; alone in Single mode
inline constexpr int kArea2 = 1023;  // top right
inline constexpr int kArea3 = 1013;  // bottom left
inline constexpr int kArea4 = 1014;  // bottom right
inline constexpr int kAreas[] = {kArea1, kArea2, kArea3, kArea4};
inline constexpr int kStart = 1000;
inline constexpr int kStop = 1002;
inline constexpr int kGdiDisplay = 1046;
inline constexpr int kSingle = 1047;
inline constexpr int kNtsc = 1048;
inline constexpr int kData422 = 1058;
inline constexpr int kDeinterlace = 1059;
// Channel 1's area in Single mode.
inline constexpr ui::Rect kSingleArea{12, 12, 892, 672};
}  // namespace preview

class PreviewWindow final : public common::PreviewSink {
public:
    PreviewWindow(ui::Host& host, Renderer& renderer);
    // Stops first: every port is closed before the window goes away.
    ~PreviewWindow();
    PreviewWindow(const PreviewWindow&) = delete;
    PreviewWindow& operator=(const PreviewWindow&) = delete;

    ui::Dialog& dialog() { return dialog_; }

    // Receive thread: de-interlaces and converts the picture in place as the
    // boxes say, then draws it on the channel's port. A picture that does not
    // fit in the span it comes in is dropped untouched.
    void showPreviewFrame(std::uint32_t channel, std::span<std::uint8_t> picture, std::uint32_t code) override;

    bool running() const { return running_.load(std::memory_order_acquire); }

private:
    void start();
    void stop();
    void resized(ui::SizeKind kind, int width, int height);
    // Copies a check box into the atomic the receive thread reads.
    void publishBox(int id, std::atomic<bool>& flag);
    void placeSingleArea();

    ui::Dialog dialog_;
    ui::Host& host_;
    Renderer& renderer_;
    std::mutex mutex_;  // the four ports against Stop
    std::atomic<bool> running_{false};
    std::atomic<bool> ntsc_{false};
    std::atomic<bool> data422_{true};
    std::atomic<bool> deinterlace_{false};
};

}  // namespace pemblor::video
