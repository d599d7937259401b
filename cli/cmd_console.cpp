// pemblorctl console --script FILE|-: the console window, driven by a script.
#include <CLI/CLI.hpp>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iostream>

#include "app/console.hpp"
#include "common/input_file.hpp"
#include "cli_context.hpp"
#include "cli_conventions.hpp"
#include "driver/driver_link.hpp"
#include "driver/card_health.hpp"
#include "headless/script_host.hpp"
#include "metrics_option.hpp"

namespace pemblor::cli {

namespace {

// Ctrl-C or a termination request ends the script as its end would: the
// console is cancelled and whatever runs is stopped and its files finished.
// No SA_RESTART, so a read of the script that waits is interrupted too.
void onStopSignal(int) { headless::ScriptHost::requestStop(); }

int runConsole(CliContext& context, const std::string& scriptPath) {
    driver::Transport* transport = context.transport();
    if (!transport) return 2;
    std::ifstream file;
    std::istream* script = &std::cin;
    if (scriptPath != "-") {
        // A pipe (<(...)) is a fine script; a folder opens as a stream that reads nothing.
        std::error_code ec;
        if (std::filesystem::is_directory(scriptPath, ec)) errno = EISDIR;
        else file.open(scriptPath);
        if (!file.is_open()) {
            std::cerr << "pemblorctl: " << scriptPath << ": " << common::systemReason(errno) << "\n";
            return 2;
        }
        script = &file;
    }
    MetricsService metrics;
    if (!startMetrics(context, context.dataRoot(), metrics)) return 2;
    onStopSignals(onStopSignal, true);
    headless::ScriptHost host(*script, std::cout, std::cerr, context.dataRoot());
    host.setErrorPrefix("pemblorctl: " + (scriptPath == "-" ? std::string("standard input") : scriptPath) + ":");
    // A script with a mistake in any line is refused before the console opens.
    if (!host.load()) return host.exitCode();
    driver::DriverLink link(*transport);
    driver::CardHealth health;
    app::ConsoleOptions options{context.options.supportEmail};
    options.renderer = &host.renderer();
    if (metrics.collector) options.cardHealth = &health;
    app::Console console(host, link, options);
    metrics.addCard({&console.receptionStats(), &health});
    console.run();
    // Scrapes end before the console and the card health they read go.
    metrics.server.reset();
    return host.exitCode();
}

void installConsole(CLI::App& app, CliContext& context) {
    auto* cmd = app.add_subcommand("console", "Run the console window headless, driven by a script");
    auto script = std::make_shared<std::string>();
    cmd->add_option("--script", *script, "Script file, or - for standard input")->required()->type_name("FILE");
    cmd->footer(
        "Examples:\n"
        "  pemblorctl console --script s.txt                    one command a line\n"
        "  printf 'click 1000\\nprint list\\n' | pemblorctl console --script -\n"
        "  pemblorctl console --script s.txt --cards 3 --trace  card 3, every request traced");
    cmd->callback([&context, script] { context.exitCode = runConsole(context, *script); });
}

}  // namespace

PEMBLOR_CLI_COMMAND(installConsole);

}  // namespace pemblor::cli
