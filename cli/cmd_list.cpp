// pemblorctl list [--json]: every device number that opens, with its identity.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <nlohmann/json.hpp>

#include "cli_context.hpp"
#include "device_listing.hpp"
#include "driver/driver_link.hpp"

namespace pemblor::cli {

namespace {

nlohmann::json deviceJson(const ListedDevice& d, bool simulated) {
    const driver::CardIdentity& id = d.identity;
    return {{"device", d.number},
            {"path", d.path},
            {"version", id.version},
            {"version_answered", id.versionAnswered},
            {"version_accepted", id.versionAccepted()},
            {"hardware", {id.hardware0, id.hardware1}},
            {"serial", id.printableSerial()},
            {"slot", id.slot},
            {"simulated", simulated}};
}

int listDevices(CliContext& context, bool json) {
    driver::Transport* transport = context.transport();
    if (!transport) return kExitUsage;
    driver::DriverLink link(*transport);
    const auto devices = cli::listDevices(link);
    if (json) {
        nlohmann::json doc = {{"devices", nlohmann::json::array()}};
        for (const ListedDevice& d : devices) doc["devices"].push_back(deviceJson(d, transport->simulated()));
        std::cout << doc.dump(2) << '\n';
        return kExitOk;
    }
    for (const ListedDevice& d : devices) std::cout << deviceLine(d, transport->simulated()) << '\n';
    if (devices.empty()) std::cout << "no device found\n";
    return kExitOk;
}

void installList(CLI::App& app, CliContext& context) {
    auto* cmd = app.add_subcommand("list", "List the device numbers 0..31 that open, with their identity");
    auto json = std::make_shared<bool>(false);
    cmd->add_flag("--json", *json, "One JSON document: {\"devices\": [{\"device\", \"path\", \"version\", ...}]}");
    cmd->footer(
        "Examples:\n"
        "  pemblorctl list                        one line per card\n"
        "  pemblorctl --cards 0,3 list            simulated cards 0 and 3\n"
        "  pemblorctl list --json | jq '.devices[].slot'");
    cmd->callback([&context, json] { context.exitCode = listDevices(context, *json); });
}

}  // namespace

PEMBLOR_CLI_COMMAND(installList);

}  // namespace pemblor::cli
