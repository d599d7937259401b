#pragma once
// The script console's renderer: keeps, for every video area a port drew on,
// how many pictures were drawn, the last size and the last picture, so that
// scripts can look at them (`frames`) and save them (`snapshot`).
#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "ui/dialog.hpp"
#include "video/renderer.hpp"

namespace pemblor::headless {

class FrameStore final : public video::Renderer {
public:
    struct Frames {
        std::uint64_t drawn = 0;
        int width = 0;
        int height = 0;
    };

    int init(std::uint32_t client) override;
    int open(int port, video::VideoArea area, int width, int height, video::RenderMethod method) override;
    int video(int port, const video::PicturePlanes& planes, int width, int height) override;
    int close(int port) override;

    // What was drawn on a control of an open dialog (zeros before any picture).
    Frames frames(const ui::Dialog& dialog, int control) const;
    // Writes the last picture drawn on the control as a PNG file. False, with
    // the reason, when none was drawn or the file cannot be written.
    bool snapshot(const ui::Dialog& dialog, int control, const std::filesystem::path& file, std::string& error) const;
    // Drops what a dialog's areas showed (its window opens or has closed).
    void forget(const ui::Dialog& dialog);

private:
    struct Area {
        mutable std::mutex mutex;
        Frames frames;
        std::vector<std::uint8_t> picture;  // luma, red- and blue-difference planes
    };
    using Key = std::pair<const ui::Dialog*, int>;
    struct Port {
        std::mutex mutex;
        std::shared_ptr<Area> area;  // null while closed
    };

    std::shared_ptr<const Area> find(const ui::Dialog& dialog, int control) const;

    mutable std::mutex areasMutex_;
    std::map<Key, std::shared_ptr<Area>> areas_;  // guarded by areasMutex_
    std::array<Port, video::kRenderPortCount> ports_;
};

}  // namespace pemblor::headless
