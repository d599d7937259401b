#pragma once
// What every pemblorctl command shares: the global options, the transport to
// the (simulated) cards and the data root. Command files register themselves
// with PEMBLOR_CLI_COMMAND, so adding a command edits no list.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "cli_conventions.hpp"
#include "driver/transport.hpp"

namespace CLI {
class App;
}
namespace pemblor::sim {
class SimTransport;
}

namespace pemblor::cli {

struct GlobalOptions {
    std::string root;           // --root
    std::string cards = "0,1";  // --cards
    std::string simConfig;      // --sim-config
    bool trace = false;         // --trace
    std::string supportEmail;   // --support-email
    std::string simReport;      // --sim-report
    std::string metrics;        // --metrics ADDR:PORT
    std::string recordTraffic;  // --record-traffic
    std::uint32_t recordTrafficMb = 1024;  // --record-traffic-max
};

class CliContext {
public:
    CliContext();
    ~CliContext();

    GlobalOptions options;
    int exitCode = 0;

    // The simulated cards of --cards and --sim-config, wrapped for
    // --record-traffic and --trace.
    // Null, with a message on standard error, when the settings are bad.
    driver::Transport* transport();
    // The simulated cards behind transport(), for what they say they delivered.
    sim::SimTransport* simulatedCards() { return transport() ? sim_.get() : nullptr; }
    // The data root (--root, $PEMBLOR_ROOT, or the per-user default), created on demand.
    std::filesystem::path dataRoot();
    // At the program's end: the sim report, when --sim-report asked for one.
    // False, with a message on standard error, when it cannot be written.
    bool finish();

private:
    std::unique_ptr<sim::SimTransport> sim_;
    std::unique_ptr<driver::Transport> recorded_;
    std::unique_ptr<driver::Transport> traced_;
    bool refused_ = false;  // the settings were refused once: not read again
};

using CommandInstaller = void (*)(CLI::App& app, CliContext& context);
bool registerCommand(CommandInstaller installer);

}  // namespace pemblor::cli

#define PEMBLOR_CLI_COMMAND(installer) \
    [[maybe_unused]] static const bool installer##Registered = ::pemblor::cli::registerCommand(&installer)
