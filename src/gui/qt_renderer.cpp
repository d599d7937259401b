#include "gui/qt_renderer.hpp"

#include <algorithm>

#include "gui/dialog_view.hpp"
#include "gui/qt_host.hpp"
#include "gui/qt_text.hpp"
#include "gui/render_surface.hpp"

namespace pemblor::gui {

QtRenderer::QtRenderer(QtHost& host) : host_(host) {}

QtRenderer::~QtRenderer() = default;

int QtRenderer::init(std::uint32_t) { return 0; }

int QtRenderer::open(int port, video::VideoArea area, int, int, video::RenderMethod method) {
    if (!video::validRenderPort(port) || !area.dialog) return -1;
    DialogView* view = host_.viewOf(*area.dialog);
    RenderSurface* surface = view ? view->surface(area.control) : nullptr;
    if (!surface) return -1;
    // GDI draws the picture's pixels as they are; the other methods filter when scaling.
    surface->setSmoothScaling(method != video::RenderMethod::Gdi);
    surface->setSaveFolder(toQt(host_.root().string()));
    Port& p = ports_[static_cast<std::size_t>(port)];
    std::lock_guard lock(p.mutex);
    p.sink = surface->sink();
    return 0;
}

int QtRenderer::close(int port) {
    if (!video::validRenderPort(port)) return -1;
    Port& p = ports_[static_cast<std::size_t>(port)];
    std::lock_guard lock(p.mutex);
    p.sink.reset();
    return 0;
}

QImage& QtRenderer::freeImage(Port& port, int width, int height) {
    for (QImage& image : port.images) {
        if (image.width() == width && image.height() == height && image.isDetached()) return image;
    }
    // None free (the surface is slow, or the size changed): replace the one
    // the port made longest ago; whoever still shows it keeps its copy.
    std::rotate(port.images.begin(), port.images.begin() + 1, port.images.end());
    QImage& image = port.images.back();
    image = QImage(width, height, QImage::Format_RGB32);
    return image;
}

int QtRenderer::video(int port, const video::PicturePlanes& planes, int width, int height) {
    if (!video::validRenderPort(port) || !video::drawablePictureSize(width, height)) return -1;
    Port& p = ports_[static_cast<std::size_t>(port)];
    std::lock_guard lock(p.mutex);
    if (!p.sink) return -1;
    QImage& image = freeImage(p, width, height);
    if (image.isNull()) return -1;
    if (!p.converter.convert(planes, width, height, image.bits(), static_cast<int>(image.bytesPerLine()),
                             video::RgbLayout::Bgra)) {
        return -1;
    }
    // A shallow copy: the surface and this port share the pixels until one lets go.
    return p.sink->present(image) ? 0 : -1;
}

}  // namespace pemblor::gui
