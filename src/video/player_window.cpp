#include "video/player_window.hpp"

#include <algorithm>
#include <string>

#include "resources/dialogs.hpp"
#include "resources/string_table.hpp"

namespace pemblor::video {

using namespace player;

namespace {

constexpr int kPlayerClient = 1;     // render_init's argument from the player
constexpr int kPortWidth = 352;      // what render ports are opened for, whatever follows
constexpr int kPortHeight = 288;
constexpr int kSettleMs = 10;        // between starting the decoder and taking data
constexpr std::uint32_t kDecodeFormat = 1;
constexpr std::uint32_t kQueueDepth = 16;
constexpr std::uint32_t kDecodeThreads = 1;
// Where the video area sits in a restored window: 15 pixels from the left,
// top and right, 35 from the bottom.
constexpr int kMargin = 15;
constexpr int kRestoredWidthLoss = 30;
constexpr int kRestoredHeightLoss = 50;

}  // namespace

PlayerWindow::PlayerWindow(ui::Host& host, Renderer& renderer, DecoderFactory& decoders)
    : dialog_(resources::playerDialog()), host_(host), renderer_(renderer), decoders_(decoders) {
    dialog_.setChecked(kGdiDisplay, false);
    dialog_.onClick(kStart, [this] { start(); });
    dialog_.onClick(kStop, [this] { stop(); });
    dialog_.onClick(kStatistic, [this] { showStatistic(); });
    dialog_.onClick(ui::kIdOk, [this] {
        stop();
        dialog_.end(ui::kIdOk);
    });
    dialog_.onCancel([this] { stop(); });
    dialog_.onSize([this](ui::SizeKind kind, int w, int h) { resized(kind, w, h); });
}

PlayerWindow::~PlayerWindow() { stop(); }

std::optional<RenderMethod> PlayerWindow::openPort() {
    const RenderMethod method = dialog_.checked(kGdiDisplay) ? RenderMethod::Gdi : RenderMethod::Overlay;
    const VideoArea area{&dialog_, kVideoArea};
    if (renderer_.open(kPlayerPort, area, kPortWidth, kPortHeight, method) >= 0) return method;
    if (renderer_.open(kPlayerPort, area, kPortWidth, kPortHeight, RenderMethod::Offscreen) >= 0) {
        return RenderMethod::Offscreen;
    }
    return std::nullopt;
}

void PlayerWindow::start() {
    if (running()) return;
    if (renderer_.init(kPlayerClient) < 0) {
        host_.messageBox(&dialog_, resources::loadString(resources::kStrRenderInitFailed));
        return;
    }
    const auto method = openPort();
    if (!method) {
        host_.messageBox(&dialog_, resources::loadString(resources::kStrRenderOpenFailed));
        return;
    }
    dialog_.setText(kInfo, renderMethodName(*method));

    DecodeOption option;
    option.format = kDecodeFormat;
    option.handler = [this](std::uint32_t number, const std::uint8_t* picture, std::uint32_t show,
                            std::uint32_t kind, std::uint32_t w, std::uint32_t h, std::uint32_t type) {
        return onPicture(number, picture, show, kind, w, h, type);
    };
    option.queueDepth = kQueueDepth;
    option.threads = kDecodeThreads;
    option.lowDelay = true;
    std::unique_ptr<Decoder> decoder;
    if (decoders_.open(option, decoder) < 0 || !decoder) {
        renderer_.close(kPlayerPort);
        host_.messageBox(&dialog_, resources::loadString(resources::kStrDecOpenFailed));
        return;
    }
    if (decoder->start() < 0) {
        decoder.reset();
        renderer_.close(kPlayerPort);
        host_.messageBox(&dialog_, resources::loadString(resources::kStrDecStartFailed));
        return;
    }
    host_.sleep(kSettleMs);
    std::lock_guard lock(mutex_);
    decoder_ = std::move(decoder);
    running_.store(true, std::memory_order_release);
}

void PlayerWindow::stop() {
    std::lock_guard lock(mutex_);
    if (!running()) return;
    running_.store(false, std::memory_order_release);
    decoder_->stop();
    decoder_.reset();
    renderer_.close(kPlayerPort);
}

void PlayerWindow::feedStream(std::span<const std::uint8_t> payload) {
    std::lock_guard lock(mutex_);
    if (!running()) return;
    // Whole pieces of 8192 bytes, then the rest (1 to 8192 bytes, or the
    // empty payload itself); a failed write loses its piece only.
    while (true) {
        const std::size_t n = std::min(payload.size(), kMaxDecoderWrite);
        const bool last = payload.size() <= kMaxDecoderWrite;
        if (decoder_->write(payload.first(n), false) < 0) writeFailures_.fetch_add(1, std::memory_order_relaxed);
        if (last) return;
        payload = payload.subspan(n);
    }
}

int PlayerWindow::onPicture(std::uint32_t, const std::uint8_t* picture, std::uint32_t show, std::uint32_t kind,
                            std::uint32_t width, std::uint32_t height, std::uint32_t) {
    if (kind != kDecodedPicture) return 0;
    if (show != 0 && picture) {
        const std::size_t luma = std::size_t{width} * height;
        const PicturePlanes planes{picture, picture + luma, picture + luma + luma / 4};
        renderer_.video(kPlayerPort, planes, static_cast<int>(width), static_cast<int>(height));
    }
    pictures_.fetch_add(1, std::memory_order_relaxed);
    return 1;
}

void PlayerWindow::showStatistic() {
    // Shown as the signed numbers they were always printed as.
    dialog_.setText(kInfo, "W:" + std::to_string(static_cast<std::int32_t>(writeFailures())) +
                               " B:" + std::to_string(static_cast<std::int32_t>(pictures())));
}

void PlayerWindow::resized(ui::SizeKind kind, int width, int height) {
    if (!running()) return;
    ui::Rect area;
    if (kind == ui::SizeKind::Maximized) {
        area = {0, 0, width, height};
    } else if (kind == ui::SizeKind::Restored) {
        area = {kMargin, kMargin, std::max(0, width - kRestoredWidthLoss), std::max(0, height - kRestoredHeightLoss)};
    } else {
        return;
    }
    dialog_.setGeometry(kVideoArea, area);
    dialog_.setVisible(kVideoArea, true);
}

}  // namespace pemblor::video
