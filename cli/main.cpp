// pemblorctl: offline tools and the headless console.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <vector>

#include "common/data_root.hpp"
#include "common/version.hpp"
#include "common/replacing_file.hpp"
#include "cli_context.hpp"
#include "driver/tracing_transport.hpp"
#include "driver/traffic_recording_transport.hpp"
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
    fail("", error);
    return false;
}

driver::Transport* CliContext::transport() {
    if (traced_) return traced_.get();
    if (recorded_) return recorded_.get();
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
    sim_ = std::make_unique<sim::SimTransport>(std::move(settings));
    driver::Transport* chain = sim_.get();
    if (!options.recordTraffic.empty()) {
        recorded_ = driver::TrafficRecordingTransport::create(
            *sim_, {options.recordTraffic, std::uint64_t{options.recordTrafficMb} << 20}, std::cerr, error);
        if (!recorded_) {
            std::cerr << "pemblorctl: --record-traffic: " << error << "\n";
            sim_.reset();
            return nullptr;
        }
        chain = recorded_.get();
    }
    refused_ = false;
    if (options.trace) {
        traced_ = std::make_unique<driver::TracingTransport>(*chain, std::cerr);
        return traced_.get();
    }
    return chain;
}

std::filesystem::path CliContext::dataRoot() { return common::resolveDataRoot(options.root); }

}  // namespace pemblor::cli

namespace {

// The command word of the command line, when it names no command: the first
// word that is neither an option nor the value of a global option.
std::string unknownCommand(const CLI::App& app, int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg.starts_with("-")) {
            const CLI::Option* opt = arg.find('=') == std::string_view::npos
                                         ? app.get_option_no_throw(std::string(arg))
                                         : nullptr;
            if (opt && opt->get_type_size() > 0) ++i;  // its value follows
            continue;
        }
        for (const CLI::App* sub : app.get_subcommands({}))
            if (sub->check_name(std::string(arg))) return {};
        return std::string(arg);
    }
    return {};
}

// Help goes to standard output with status 0; any other parse error is one
// line on standard error and status 2.
int usageError(CLI::App& app, const CLI::ParseError& e, int argc, char** argv) {
    if (e.get_exit_code() == 0) return app.exit(e);
    const std::string word = unknownCommand(app, argc, argv);
    if (!word.empty()) {
        std::vector<std::string> names;
        for (const CLI::App* sub : app.get_subcommands({})) names.push_back(sub->get_name());
        const std::string nearest = pemblor::cli::nearestName(word, names);
        return pemblor::cli::fail(word, nearest.empty() ? "unknown command (see pemblorctl --help)"
                                                        : "unknown command; did you mean '" + nearest + "'?",
                                  pemblor::cli::kExitUsage);
    }
    return pemblor::cli::fail("", e.what(), pemblor::cli::kExitUsage);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pemblor::cli;
    // Named, so that help shows "pemblorctl", not the path it was started by.
    CLI::App app{"pemblorctl: tools and headless console for the video-encoder card", "pemblorctl"};
    app.require_subcommand(1);
    app.set_version_flag("--version", pemblor::common::versionLine("pemblorctl"),
                         "Print the version and the commit it was built from, and exit");
    // Global options are taken after the command too (inherited by every command).
    app.fallthrough();
    CliContext context;
    // Ctrl-C or a termination request leaves no half-written output behind
    // (the console command installs a handler of its own).
    pemblor::common::removeTemporaryFilesOnStopSignals();
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
    app.add_option("--metrics", context.options.metrics,
                   "Serve metrics for Prometheus at ADDR:PORT while console or watch runs (a bare port: loopback)")
        ->type_name("ADDR:PORT");
    app.add_option("--record-traffic", context.options.recordTraffic,
                   "Record what the receive path fetches from the card as a replay file (and FILE.bin)")
        ->type_name("FILE");
    app.add_option("--record-traffic-max", context.options.recordTrafficMb,
                   "Stop recording traffic at this size, in MB (default 1024)")
        ->type_name("MB")->check(CLI::Range(1, 4000));
    for (CommandInstaller install : installers()) install(app, context);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return usageError(app, e, argc, argv);
    }
    if (!context.finish() && context.exitCode == 0) context.exitCode = kExitFailed;
    return context.exitCode;
}
