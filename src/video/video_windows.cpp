#include "video/video_windows.hpp"

#include "resources/console_ids.hpp"
#include "video/decoder.hpp"
#include "video/player_window.hpp"
#include "video/preview_window.hpp"
#include "video/renderer.hpp"

namespace pemblor::video {

namespace {

using namespace resources::console;

// Stands in when the platform gave no renderer: nothing can be drawn, and
// the windows say so when started.
class NoRenderer final : public Renderer {
public:
    int init(std::uint32_t) override { return -1; }
    int open(int, VideoArea, int, int, RenderMethod) override { return -1; }
    int video(int, const PicturePlanes&, int, int) override { return -1; }
    int close(int) override { return -1; }
};

class VideoWindows final : public ui::Subsystem {
public:
    VideoWindows(ui::ConsoleSeam& console, common::StreamConsumers& consumers, VideoOptions options)
        : console_(console),
          consumers_(consumers),
          renderer_(options.renderer ? *options.renderer : noRenderer_),
          decoders_(options.decoders ? *options.decoders : ffmpeg_) {
        console_.dialog().onClick(kPlay, [this] { play(); });
        console_.dialog().onClick(kPreview, [this] { preview(); });
    }

private:
    void play() {
        PlayerWindow window(console_.host(), renderer_, decoders_);
        // The slot is read once, when the button is pressed; no choice plays nothing.
        consumers_.publishPlayer(window, static_cast<std::uint32_t>(console_.dialog().selection(kStream)));
        console_.host().runModal(window.dialog());
        // Returns once no feedStream() is still inside the window.
        consumers_.retractPlayer();
    }

    void preview() {
        PreviewWindow window(console_.host(), renderer_);
        consumers_.publishPreview(window);
        console_.host().runModal(window.dialog());
        consumers_.retractPreview();
    }

    ui::ConsoleSeam& console_;
    common::StreamConsumers& consumers_;
    NoRenderer noRenderer_;
    FfmpegDecoders ffmpeg_;
    Renderer& renderer_;
    DecoderFactory& decoders_;
};

}  // namespace

std::unique_ptr<ui::Subsystem> attachVideoWindows(ui::ConsoleSeam& console, common::StreamConsumers& consumers,
                                                  VideoOptions options) {
    return std::make_unique<VideoWindows>(console, consumers, options);
}

}  // namespace pemblor::video
