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

class VideoWindows final : public app::Subsystem {
public:
    explicit VideoWindows(app::ConsoleSeam& console)
        : console_(console),
          renderer_(console.options().renderer ? *console.options().renderer : noRenderer_),
          decoders_(console.options().decoders ? *console.options().decoders : ffmpeg_) {
        console_.dialog().onClick(kPlay, [this] { play(); });
        console_.dialog().onClick(kPreview, [this] { preview(); });
    }

private:
    void play() {
        app::ConsoleState& state = console_.state();
        // Read once, when the button is pressed; no choice plays nothing.
        state.playSlot.store(static_cast<std::uint32_t>(console_.dialog().selection(kStream)),
                             std::memory_order_relaxed);
        PlayerWindow window(console_.host(), renderer_, decoders_);
        state.player.publish(&window);
        console_.host().runModal(window.dialog());
        // Returns once no feedStream() is still inside the window.
        state.player.retract();
    }

    void preview() {
        app::ConsoleState& state = console_.state();
        PreviewWindow window(console_.host(), renderer_);
        state.preview.publish(&window);
        console_.host().runModal(window.dialog());
        state.preview.retract();
    }

    app::ConsoleSeam& console_;
    NoRenderer noRenderer_;
    FfmpegDecoders ffmpeg_;
    Renderer& renderer_;
    DecoderFactory& decoders_;
};

}  // namespace

std::unique_ptr<app::Subsystem> attachVideoWindows(app::ConsoleSeam& console) {
    return std::make_unique<VideoWindows>(console);
}

}  // namespace pemblor::video
