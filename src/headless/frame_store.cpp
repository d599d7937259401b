#include "headless/frame_store.hpp"

#include <cstring>

#include "headless/png_file.hpp"
#include "video/picture_rgb.hpp"

namespace pemblor::headless {

int FrameStore::init(std::uint32_t) { return 0; }

int FrameStore::open(int port, video::VideoArea area, int, int, video::RenderMethod) {
    if (!video::validRenderPort(port) || !area.dialog) return -1;
    std::shared_ptr<Area> target;
    {
        std::lock_guard lock(areasMutex_);
        std::shared_ptr<Area>& slot = areas_[{area.dialog, area.control}];
        if (!slot) slot = std::make_shared<Area>();
        target = slot;
    }
    Port& p = ports_[static_cast<std::size_t>(port)];
    std::lock_guard lock(p.mutex);
    p.area = std::move(target);
    return 0;
}

int FrameStore::close(int port) {
    if (!video::validRenderPort(port)) return -1;
    Port& p = ports_[static_cast<std::size_t>(port)];
    std::lock_guard lock(p.mutex);
    p.area.reset();
    return 0;
}

int FrameStore::video(int port, const video::PicturePlanes& planes, int width, int height) {
    if (!video::validRenderPort(port) || !video::drawablePictureSize(width, height) || !planes.luma ||
        !planes.chromaR || !planes.chromaB) {
        return -1;
    }
    Port& p = ports_[static_cast<std::size_t>(port)];
    std::lock_guard portLock(p.mutex);
    if (!p.area) return -1;
    Area& a = *p.area;
    const std::size_t luma = static_cast<std::size_t>(width) * height;
    const std::size_t chroma = luma / 4;
    std::lock_guard lock(a.mutex);
    // Allocates only when the size changes.
    a.picture.resize(luma + 2 * chroma);
    std::memcpy(a.picture.data(), planes.luma, luma);
    std::memcpy(a.picture.data() + luma, planes.chromaR, chroma);
    std::memcpy(a.picture.data() + luma + chroma, planes.chromaB, chroma);
    a.frames.width = width;
    a.frames.height = height;
    ++a.frames.drawn;
    return 0;
}

std::shared_ptr<const FrameStore::Area> FrameStore::find(const ui::Dialog& dialog, int control) const {
    std::lock_guard lock(areasMutex_);
    const auto it = areas_.find({&dialog, control});
    return it == areas_.end() ? nullptr : it->second;
}

FrameStore::Frames FrameStore::frames(const ui::Dialog& dialog, int control) const {
    const auto area = find(dialog, control);
    if (!area) return {};
    std::lock_guard lock(area->mutex);
    return area->frames;
}

bool FrameStore::snapshot(const ui::Dialog& dialog, int control, const std::filesystem::path& file,
                          std::string& error) const {
    const auto area = find(dialog, control);
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
    if (area) {
        std::lock_guard lock(area->mutex);
        width = area->frames.width;
        height = area->frames.height;
        if (area->frames.drawn > 0) {
            const std::size_t luma = static_cast<std::size_t>(width) * height;
            const std::uint8_t* p = area->picture.data();
            const video::PicturePlanes planes{p, p + luma, p + luma + luma / 4};
            rgb.resize(luma * 3);
            video::RgbConverter converter;
            if (!converter.convert(planes, width, height, rgb.data(), width * 3, video::RgbLayout::Rgb)) rgb.clear();
        }
    }
    if (rgb.empty()) {
        error = "no picture has been drawn on control " + std::to_string(control);
        return false;
    }
    return writeRgbPng(file, rgb, width, height, error);
}

void FrameStore::forget(const ui::Dialog& dialog) {
    std::lock_guard lock(areasMutex_);
    std::erase_if(areas_, [&dialog](const auto& entry) { return entry.first.first == &dialog; });
}

}  // namespace pemblor::headless
