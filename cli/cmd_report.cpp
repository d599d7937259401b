// pemblorctl report: the console's diagnostic report on standard output.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/console.hpp"
#include "cli_context.hpp"
#include "driver/card_identity.hpp"
#include "common/iso_time.hpp"
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
    bool json = false;
};

// The console's messages go to standard error as they would to a box; one
// shown while a device is open (a driver too old, a refused mapping) is also
// kept as that device's failure, for the summary and the exit status.
class ReportHost : public ui::TextHost {
public:
    using TextHost::TextHost;
    void messageBox(ui::Dialog* owner, std::string_view text) override {
        TextHost::messageBox(owner, text);
        if (!owner || !owner->has(kDeviceLine)) return;
        const std::string_view device = owner->text(kDeviceLine);
        if (device.starts_with("Open ")) failures.push_back({std::string(device.substr(5)), std::string(text)});
    }
    struct Failure {
        std::string device;  // "Dev0"
        std::string reason;
    };
    std::vector<Failure> failures;
};

nlohmann::json reportJson(const ui::Dialog& d, const ReportHost& host, bool simulated, bool logFailed, bool log) {
    nlohmann::json doc = {{"time", common::isoLocalTime(std::time(nullptr))},
                          {"simulated", simulated},
                          {"failures", nlohmann::json::array()},
                          {"lines", nlohmann::json::array()}};
    for (const auto& f : host.failures) doc["failures"].push_back({{"device", f.device}, {"reason", f.reason}});
    const std::size_t n = d.itemCount(kOutputList);
    for (std::size_t i = 0; i < n; ++i) doc["lines"].push_back(std::string(d.item(kOutputList, i)));
    doc["log_saved"] = log ? nlohmann::json(!logFailed) : nlohmann::json(nullptr);
    return doc;
}

// Drives the console window as an operator would for "4 Show all inf and
// save file": one device opened under its item, or every device; the list
// then goes to standard output, and a last line names the build. Messages go
// to standard error. Status 1 when a device can't be opened or used, or --log
// could not save the log file.
int runReport(CliContext& context, const ReportArgs& args) {
    driver::Transport* transport = context.transport();
    if (!transport) return kExitUsage;
    ReportHost host(std::cerr, context.dataRoot());
    driver::DriverLink link(*transport);
    app::ConsoleOptions options{context.options.supportEmail};
    options.reportSavesLog = args.log;
    app::Console console(host, link, options);
    ui::Dialog& d = console.dialog();
    bool opened = true;
    if (args.device >= 0) {
        d.select(kDevice, args.device);
        d.click(kOpenDev);
        opened = link.context().isOpen();
        if (opened) {
            // The status lines the report quotes, as the first second would fill them.
            d.timer(kStatusTimer);
            d.setChecked(kAllDev, false);
        }
    }
    if (opened) d.click(kShowAllInf);
    if (args.json) {
        nlohmann::json doc = reportJson(d, host, transport->simulated(), console.logSaveFailed(), args.log);
        doc["made_by"] = common::versionLine("pemblorctl");
        std::cout << doc.dump(2) << '\n';
    } else if (opened) {
        const std::size_t n = d.itemCount(kOutputList);
        for (std::size_t i = 0; i < n; ++i) {
            const std::string_view line = d.item(kOutputList, i);
            std::fwrite(line.data(), 1, line.size(), stdout);
            std::fputc('\n', stdout);
        }
        // Which build made the report, for support; the log file keeps the console's lines only.
        std::printf("Report made by %s\n", common::versionLine("pemblorctl").c_str());
    }
    std::fflush(stdout);
    // The report is printed all the same; the summary says what it lacks.
    for (const auto& f : host.failures) fail("report", f.device + ": " + f.reason);
    if (!opened && host.failures.empty()) fail("report", "Dev" + std::to_string(args.device) + ": can't be opened");
    if (transport->simulated() && d.itemCount(kOutputList) > 0)
        std::cerr << "pemblorctl: report: the cards are simulated\n";
    return !opened || !host.failures.empty() || console.logSaveFailed() ? kExitFailed : kExitOk;
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
    cmd->add_flag("--json", args->json,
                  "One JSON document: time, simulated, failures [{device, reason}], lines, log_saved, made_by");
    cmd->footer(
        "Examples:\n"
        "  pemblorctl report > report.txt          every card\n"
        "  pemblorctl report --device 1 --log      card 1, appended to Pemblor.LOG\n"
        "  pemblorctl report --json | jq -r '.failures[].reason'");
    cmd->callback([&context, args] { context.exitCode = runReport(context, *args); });
}

}  // namespace

PEMBLOR_CLI_COMMAND(installReport);

}  // namespace pemblor::cli
