#pragma once
// The desktop's renderer: each port draws on the render surface of its video
// area. Pictures are converted to RGB on the calling thread, into images the
// port reuses once the surface has let go of them, and handed to the
// surface's sink, which shows the newest on the user-interface thread.
#include <QImage>
#include <array>
#include <memory>
#include <mutex>

#include "video/picture_rgb.hpp"
#include "video/renderer.hpp"

namespace pemblor::gui {

class FrameSink;
class QtHost;

class QtRenderer final : public video::Renderer {
public:
    explicit QtRenderer(QtHost& host);
    ~QtRenderer() override;

    int init(std::uint32_t client) override;
    // Fails when the area has no surface in an open window.
    int open(int port, video::VideoArea area, int width, int height, video::RenderMethod method) override;
    int video(int port, const video::PicturePlanes& planes, int width, int height) override;
    int close(int port) override;

private:
    // Images in flight: one being shown, one waiting, one being filled.
    static constexpr int kImages = 3;
    struct Port {
        std::mutex mutex;
        std::shared_ptr<FrameSink> sink;  // null while closed
        std::array<QImage, kImages> images;
        video::RgbConverter converter;
    };
    // An image of the size that nobody else holds, made when there is none.
    QImage& freeImage(Port& port, int width, int height);

    QtHost& host_;
    std::array<Port, video::kRenderPortCount> ports_;
};

}  // namespace pemblor::gui
