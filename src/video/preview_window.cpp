#include "video/preview_window.hpp"

#include "resources/dialogs.hpp"
#include "resources/string_table.hpp"
#include "video/chroma_422_to_420.hpp"
#include "video/deinterlace.hpp"
#include "video/preview_picture.hpp"

namespace pemblor::video {

using namespace preview;

namespace {

constexpr int kPreviewClient = 6;  // render_init's argument from the preview
constexpr int kPortWidth = 352;    // what render ports are opened for, whatever follows
constexpr int kPortHeight = 288;
constexpr int kSettleMs = 10;      // between opening the ports and taking pictures
constexpr std::uint32_t kChannels = 4;

}  // namespace

PreviewWindow::PreviewWindow(ui::Host& host, Renderer& renderer)
    : dialog_(resources::previewDialog()), host_(host), renderer_(renderer) {
    dialog_.setChecked(kGdiDisplay, false);
    dialog_.setChecked(kSingle, false);
    dialog_.setChecked(kNtsc, false);
    dialog_.setChecked(kData422, true);
    dialog_.setChecked(kDeinterlace, false);
    dialog_.onClick(kStart, [this] { start(); });
    dialog_.onClick(kStop, [this] { stop(); });
    dialog_.onClick(kNtsc, [this] { publishBox(kNtsc, ntsc_); });
    dialog_.onClick(kData422, [this] { publishBox(kData422, data422_); });
    dialog_.onClick(kDeinterlace, [this] { publishBox(kDeinterlace, deinterlace_); });
    dialog_.onClick(ui::kIdOk, [this] {
        stop();
        dialog_.end(ui::kIdOk);
    });
    dialog_.onCancel([this] { stop(); });
    dialog_.onSize([this](ui::SizeKind kind, int w, int h) { resized(kind, w, h); });
}

PreviewWindow::~PreviewWindow() { stop(); }

void PreviewWindow::publishBox(int id, std::atomic<bool>& flag) {
    flag.store(dialog_.checked(id), std::memory_order_relaxed);
}

void PreviewWindow::placeSingleArea() {
    dialog_.setGeometry(kArea1, kSingleArea);
    dialog_.setVisible(kArea1, true);
}

void PreviewWindow::start() {
    if (running()) return;
    for (int area : kAreas) dialog_.setVisible(area, true);
    if (dialog_.checked(kSingle)) {
        placeSingleArea();
        for (int area : {kArea2, kArea3, kArea4}) dialog_.setVisible(area, false);
    } else {
        // Back to the grid, where an earlier Single start may have left it.
        const auto& controls = dialog_.dialogTemplate().controls;
        dialog_.setGeometry(kArea1, controls[static_cast<std::size_t>(dialog_.indexOf(kArea1))].rect);
    }
    const RenderMethod method = dialog_.checked(kGdiDisplay) ? RenderMethod::Gdi : RenderMethod::Overlay;
    if (renderer_.init(kPreviewClient) < 0) {
        host_.messageBox(&dialog_, resources::loadString(resources::kStrRenderInitFailed));
        return;
    }
    for (int channel = 0; channel < static_cast<int>(kChannels); ++channel) {
        const int port = kFirstPreviewPort + channel;
        const VideoArea area{&dialog_, kAreas[channel]};
        const bool opened = renderer_.open(port, area, kPortWidth, kPortHeight, method) >= 0 ||
                            renderer_.open(port, area, kPortWidth, kPortHeight, RenderMethod::Offscreen) >= 0;
        // A failed port does not stop the others; it still gets its pictures.
        dialog_.setText(area.control, opened ? "" : resources::loadString(resources::kStrRenderOpenFailed));
    }
    host_.sleep(kSettleMs);
    running_.store(true, std::memory_order_release);
}

void PreviewWindow::stop() {
    if (!running()) return;
    running_.store(false, std::memory_order_release);
    std::lock_guard lock(mutex_);
    for (int channel = 0; channel < static_cast<int>(kChannels); ++channel) renderer_.close(kFirstPreviewPort + channel);
}

void PreviewWindow::showPreviewFrame(std::uint32_t channel, std::span<std::uint8_t> picture, std::uint32_t code) {
    if (!running() || channel >= kChannels) return;
    const bool planar422 = data422_.load(std::memory_order_relaxed);
    const PictureSize size = previewPictureSize(code, ntsc_.load(std::memory_order_relaxed));
    // The span runs to the end of the area the picture lies in: a picture that
    // would reach past it is not touched.
    if (picture.size() < previewPictureBytes(size, planar422)) return;
    // In the frame buffer itself, outside the lock. The de-interlacer is held
    // to the picture's own lines, so an NTSC picture keeps its chroma.
    if (code == kCodeFullSize && deinterlace_.load(std::memory_order_relaxed)) {
        deinterlace(picture.first(static_cast<std::size_t>(size.width) * size.height), size.width, size.height);
    }
    if (planar422 && size.height > 1) convert422To420(picture, size.width, size.height);
    if (!running()) return;
    std::lock_guard lock(mutex_);
    if (!running()) return;
    const std::size_t luma = static_cast<std::size_t>(size.width) * size.height;
    // The preview's frame buffers hold the blue-difference plane first.
    const PicturePlanes planes{picture.data(), picture.data() + luma * 5 / 4, picture.data() + luma};
    renderer_.video(kFirstPreviewPort + static_cast<int>(channel), planes, size.width, size.height);
}

void PreviewWindow::resized(ui::SizeKind kind, int width, int height) {
    if (!running() || !dialog_.checked(kSingle)) return;
    if (kind == ui::SizeKind::Maximized) {
        dialog_.setGeometry(kArea1, {0, 0, width, height});
        dialog_.setVisible(kArea1, true);
    } else if (kind == ui::SizeKind::Restored) {
        placeSingleArea();
    }
}

}  // namespace pemblor::video
