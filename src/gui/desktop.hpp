#pragma once
// The desktop console put together: the simulated cards of the options, the
// driver link over them, the Qt host and the console window with its About
// entry. The program's main and the end-to-end test build the same thing.
#include <cstdint>
#include <memory>
#include <string>

#include "app/console.hpp"
#include "driver/driver_link.hpp"
#include "driver/transport.hpp"
#include "gui/qt_host.hpp"

namespace pemblor::sim {
class SimTransport;
}
namespace pemblor::metrics {
class Server;
}
namespace pemblor::driver {
class CardHealth;
}
#include "gui/qt_renderer.hpp"

namespace pemblor::gui {

struct DesktopOptions {
    std::string root;           // --root
    std::string cards = "0,1";  // --cards
    std::string simConfig;      // --sim-config
    bool trace = false;         // --trace
    std::string supportEmail;   // --support-email
    std::string simReport;      // --sim-report: written when the desktop ends
    std::string metrics;        // --metrics ADDR:PORT: served while the console runs
    std::string recordTraffic;  // --record-traffic
    std::uint32_t recordTrafficMb = 1024;  // --record-traffic-max
};

class Desktop {
public:
    // Null, with the reason in error, when the card settings are bad or the
    // metrics can't be served.
    static std::unique_ptr<Desktop> create(const DesktopOptions& options, std::string& error);
    ~Desktop();

    QtHost& host() { return *host_; }
    app::Console& console() { return *console_; }
    // Runs the console window until it closes; returns its end result.
    int run();

private:
    Desktop() = default;

    std::string simReport_;
    std::unique_ptr<sim::SimTransport> cards_;
    std::unique_ptr<driver::Transport> recorded_;  // --record-traffic, between the cards and the tracer
    std::unique_ptr<driver::Transport> traced_;
    std::unique_ptr<driver::DriverLink> link_;
    std::unique_ptr<QtHost> host_;
    std::unique_ptr<QtRenderer> renderer_;  // draws the video windows on their surfaces
    std::unique_ptr<driver::CardHealth> health_;
    std::unique_ptr<app::Console> console_;
    std::unique_ptr<metrics::Server> metrics_;  // reads the console's counters: goes first
};

}  // namespace pemblor::gui
