#pragma once
// The desktop console of an end-to-end run on one card in service (program
// running, DMA set, every channel on), its data root in the build folder.
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "gui/desktop.hpp"

namespace pemblor::gui::testing {

inline std::unique_ptr<Desktop> desktopWithCardInService(const std::string& rootName, std::string& error) {
    const std::filesystem::path dir = std::filesystem::path(PEMBLOR_SCREENSHOT_DIR) / rootName;
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "cards.ini") << "[card 0]\ndsp = running\n";
    DesktopOptions options;
    options.root = dir.string();
    options.cards.assign(1, '0');  // card 0 only (assigning "0" trips a false -Wrestrict of GCC 12)
    options.simConfig = (dir / "cards.ini").string();
    return Desktop::create(options, error);
}

}  // namespace pemblor::gui::testing
