// pemblorctl: offline tools and the headless console.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <vector>

#include "common/data_root.hpp"
#include "cli_context.hpp"
#include "driver/tracing_transport.hpp"
#include "sim/settings/sim_report.hpp"
#include "sim/settings/sim_settings.hpp"
#include "sim/card/sim_transport.hpp"

namespace pemblor::cli {

namespace {
std::vector<CommandInstaller>& installers() {
    static std::vector<CommandInstaller> list;
    return list;
}
}  // namespace

bool registerCommand(CommandInstaller installer) {
    installers().push_back(installer);
    return true;
}

CliContext::CliContext() = default;
CliContext::~CliContext() = default;

bool CliContext::finish() {
    if (options.simReport.empty()) return true;
    // A command that never reached the cards still reports them, with nothing delivered.
    if (!transport()) return false;
    std::string error;
    if (sim::writeSimReport(*sim_, options.simReport, error)) return true;
    std::cerr << "pemblorctl: " << error << "\n";
    return false;
}

driver::Transport* CliContext::transport() {
    if (traced_) return traced_.get();
    if (sim_) return sim_.get();
    if (refused_) return nullptr;  // already said why
    refused_ = true;
    std::string error;
    const auto numbers = sim::parseCardList(options.cards, error);
    if (!numbers) {
        std::cerr << "pemblorctl: --cards: " << error << "\n";
        return nullptr;
    }
    sim::SimSettings settings = sim::SimSettings::withCards(*numbers);
    if (!options.simConfig.empty() && !sim::applySimConfig(options.simConfig, settings, error)) {
        std::cerr << "pemblorctl: " << error << "\n";
        return nullptr;
    }
    refused_ = false;
    sim_ = std::make_unique<sim::SimTransport>(std::move(settings));
    if (options.trace) {
        traced_ = std::make_unique<driver::TracingTransport>(*sim_, std::cerr);
        return traced_.get();
    }
    return sim_.get();
}

std::filesystem::path CliContext::dataRoot() { return common::resolveDataRoot(options.root); }

}  // namespace pemblor::cli

int main(int argc, char** argv) {
    using namespace pemblor::cli;
    CLI::App app{"pemblorctl: tools and headless console for the video-encoder card"};
    app.require_subcommand(1);
    CliContext context;
    app.add_option("--root", context.options.root, "Folder that stands for drive C: (data root)")
        ->type_name("DIR")
        ->check(CLI::Validator(
            [](std::string& root) {
                const std::string reason = pemblor::common::checkRootOption(root);
                return reason.empty() ? reason : root + ": " + reason;
            },
            "DIR"));
    app.add_option("--cards", context.options.cards,
                   "Device numbers (0..31) that carry a simulated card, separated by commas or blanks")
        ->default_str("0,1")->type_name("LIST");
    app.add_option("--sim-config", context.options.simConfig, "Simulated card settings (INI file)")->type_name("FILE");
    app.add_flag("--trace", context.options.trace, "Log every driver request to standard error");
    app.add_option("--support-email", context.options.supportEmail, "Support address shown by the console")
        ->type_name("ADDR");
    app.add_option("--sim-report", context.options.simReport,
                   "At the end, write what each simulated card delivered and dropped (JSON)")->type_name("FILE");
    for (CommandInstaller install : installers()) install(app, context);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e);
    }
    if (!context.finish() && context.exitCode == 0) context.exitCode = 1;
    return context.exitCode;
}
