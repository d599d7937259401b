// pemblorctl report: the console's diagnostic report on standard output.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>

#include "app/console.hpp"
#include "cli_context.hpp"
#include "driver/card_identity.hpp"
#include "common/version.hpp"
#include "driver/driver_link.hpp"
#include "ui/text_host.hpp"
#include "resources/console_ids.hpp"

namespace pemblor::cli {

namespace {

using namespace resources::console;

struct ReportArgs {
    bool all = false;
    int device = -1;  // -1: every device
    bool log = false;
};

// Drives the console window as an operator would for "4 Show all inf and
// save file": one device opened under its item, or every device; the list
// then goes to standard output, and a last line names the build. Messages go
// to standard error. Status 1 when the device can't be opened or --log could
// not save the log file.
int runReport(CliContext& context, const ReportArgs& args) {
    driver::Transport* transport = context.transport();
    if (!transport) return 2;
    ui::TextHost host(std::cerr, context.dataRoot());
    driver::DriverLink link(*transport);
    app::ConsoleOptions options{context.options.supportEmail};
    options.reportSavesLog = args.log;
    app::Console console(host, link, options);
    ui::Dialog& d = console.dialog();
    if (args.device >= 0) {
        d.select(kDevice, args.device);
        d.click(kOpenDev);
        if (!link.context().isOpen()) return 1;
        // The status lines the report quotes, as the first second would fill them.
        d.timer(kStatusTimer);
        d.setChecked(kAllDev, false);
    }
    d.click(kShowAllInf);
    const std::size_t n = d.itemCount(kOutputList);
    for (std::size_t i = 0; i < n; ++i) {
        const std::string_view line = d.item(kOutputList, i);
        std::fwrite(line.data(), 1, line.size(), stdout);
        std::fputc('\n', stdout);
    }
    // Which build made the report, for support; the log file keeps the console's lines only.
    std::printf("Report made by %s\n", common::versionLine("pemblorctl").c_str());
    std::fflush(stdout);
    // The report is printed all the same; the status says the log lacks it.
    return console.logSaveFailed() ? 1 : 0;
}

void installReport(CLI::App& app, CliContext& context) {
    auto* cmd = app.add_subcommand("report", "Print the diagnostic report of every card, or of one");
    auto args = std::make_shared<ReportArgs>();
    auto* all = cmd->add_flag("--all", args->all, "Every device number that opens (the default)");
    cmd->add_option("--device", args->device, "Only this device number, opened first")
        ->check(CLI::Range(0, driver::kDeviceCount - 1))
        ->excludes(all)
        ->type_name("N");
    cmd->add_flag("--log", args->log, "Also append the report to the log file Pemblor.LOG in the data root");
    cmd->callback([&context, args] { context.exitCode = runReport(context, *args); });
}

}  // namespace

PEMBLOR_CLI_COMMAND(installReport);

}  // namespace pemblor::cli
