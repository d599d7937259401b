#pragma once
// Runs the console window from a script, in process, on simulated cards: the
// way an operator drives the headless console, without starting a process.
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "app/console.hpp"
#include "driver/driver_link.hpp"
#include "headless/script_host.hpp"
#include "sim/settings/sim_settings.hpp"
#include "sim/card/sim_transport.hpp"

namespace pemblor::testing {

struct ScriptRun {
    std::vector<std::string> out;  // one event a line
    std::string err;
    int exitCode = 0;
};

inline std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// Stands in for parts of the video windows' platform: given the options and
// the script host's renderer, puts in a renderer or decoder of the test's
// (for example one that fails on purpose, or wraps the host's).
using VideoSeam = std::function<void(app::ConsoleOptions& options, video::Renderer& hostRenderer)>;

inline ScriptRun runConsoleScript(const std::string& script, sim::SimSettings settings,
                                  std::filesystem::path root = std::filesystem::temp_directory_path(),
                                  app::ConsoleOptions options = {}, const VideoSeam& video = {}) {
    std::istringstream in(script);
    std::ostringstream out, err;
    sim::SimTransport transport(std::move(settings));
    headless::ScriptHost host(in, out, err, std::move(root));
    driver::DriverLink link(transport);
    // As pemblorctl does: a script with a line of the wrong form runs not at all.
    if (host.load()) {
        // The video windows draw into the host's store, as in pemblorctl.
        if (!options.renderer) options.renderer = &host.renderer();
        if (video) video(options, host.renderer());
        app::Console console(host, link, std::move(options));
        console.run();
    }
    return {splitLines(out.str()), err.str(), host.exitCode()};
}

}  // namespace pemblor::testing
