// pemblorctl list: every device number that opens, with its identity.
#include <CLI/CLI.hpp>
#include <array>
#include <cstdio>

#include "device_listing.hpp"
#include "cli_context.hpp"
#include "driver/driver_link.hpp"

namespace pemblor::cli {

namespace {

int listDevices(CliContext& context) {
    driver::Transport* transport = context.transport();
    if (!transport) return 2;
    driver::DriverLink link(*transport);
    const auto lines = cli::listDevices(link);
    for (const std::string& line : lines) std::printf("%s\n", line.c_str());
    if (lines.empty()) std::printf("no device found\n");
    return 0;
}

void installList(CLI::App& app, CliContext& context) {
    auto* cmd = app.add_subcommand("list", "List the device numbers 0..31 that open, with their identity");
    cmd->callback([&context] { context.exitCode = listDevices(context); });
}

}  // namespace

PEMBLOR_CLI_COMMAND(installList);

}  // namespace pemblor::cli
