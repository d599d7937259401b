// pemblorctl selftest: tells whether a card is good, and why not, as a table
// of named checks; the same table as JSON or JUnit XML on request.
#include <CLI/CLI.hpp>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>

#include "cli_context.hpp"
#include "cli_conventions.hpp"
#include "common/input_file.hpp"
#include "common/printf_line.hpp"
#include "common/replacing_file.hpp"
#include "driver/card_identity.hpp"
#include "selftest/self_test.hpp"
#include "selftest/table_files.hpp"
#include "selftest/table_text.hpp"
#include "sim/card/sim_transport.hpp"

namespace pemblor::cli {

namespace {

constexpr double kMaxSeconds = 3600;

struct SelfTestArgs {
    int device = 0;
    bool quick = false;
    std::string seconds;  // empty: the default
    std::string json;
    std::string junit;
    std::string program;
    bool reboot = false;
};

// Ctrl-C (or a termination request) ends the test early: the card is closed
// and the table so far printed and written. A second one ends at once.
std::atomic<bool> gStop{false};

void onStopSignal(int signo) {
    if (gStop.exchange(true)) {
        common::removeTemporaryFiles();
        ::signal(signo, SIG_DFL);
        ::raise(signo);
    }
}

// A usage error: the subject as the operator typed it, made safe to echo.
int usage(const std::string& subject, const std::string& reason) {
    return fail(common::shownText(subject, 160), reason, kExitUsage);
}

// One output document: standard output for "-", else a file replaced when complete.
struct Output {
    std::string name;
    common::ReplacingFile file;
    bool toStdout() const { return name == "-"; }
};

// Opens the outputs before the test, so that a bad path costs no test run.
std::optional<int> openOutputs(Output& json, Output& junit, const std::string& program) {
    if (json.toStdout() && junit.toStdout())
        return usage("--json, --junit", "only one of them can be - (standard output)");
    for (Output* out : {&json, &junit}) {
        if (out->name.empty() || out->toStdout()) continue;
        if (!program.empty() && common::sameFile(out->name, program)) return usage(out->name, "is the program to load");
        if (!out->file.open(out->name)) return usage(out->name, std::strerror(out->file.error()));
    }
    return std::nullopt;
}

// False, with the reason on standard error, when the document could not be written.
bool writeOutput(Output& out, const std::string& text) {
    if (out.name.empty()) return true;
    if (out.toStdout()) {
        std::fwrite(text.data(), 1, text.size(), stdout);
        return std::fflush(stdout) == 0;
    }
    if (out.file.write(text) && out.file.commit()) return true;
    fail({}, out.file.errorText());
    return false;
}

selftest::Hooks hooksFor(CliContext& context, std::FILE* out) {
    selftest::Hooks hooks;
    hooks.stop = &gStop;
    // The device's own row waits until the card answers as one: a device that
    // is not there gives one line, not a table.
    auto pending = std::make_shared<std::optional<selftest::CheckRow>>();
    hooks.row = [out, pending](const selftest::CheckRow& row) {
        if (row.name == "driver.open") {
            *pending = row;
            return;
        }
        std::vector<std::string> lines;
        if (*pending) {
            lines.push_back(selftest::tableHeader());
            for (std::string& l : selftest::rowLines(**pending)) lines.push_back(std::move(l));
            pending->reset();
        }
        for (std::string& l : selftest::rowLines(row)) lines.push_back(std::move(l));
        for (const std::string& l : lines) std::fprintf(out, "%s\n", l.c_str());
        std::fflush(out);
    };
    if (sim::SimTransport* cards = context.simulatedCards())
        hooks.delivered = [cards](int device) { return cards->payloadBytes(device); };
    return hooks;
}

int runSelfTest(CliContext& context, const SelfTestArgs& args) {
    if (args.device < 0 || args.device >= driver::kDeviceCount)
        return usage("--device", std::to_string(args.device) + " is not a device number (0 to 31)");
    double seconds = args.quick ? selftest::kQuickSeconds : selftest::kDefaultSeconds;
    if (!args.seconds.empty()) {
        char* end = nullptr;
        seconds = std::strtod(args.seconds.c_str(), &end);
        if (end == args.seconds.c_str() || *end != '\0' || !(seconds > 0 && seconds <= kMaxSeconds))
            return usage("--seconds", "'" + common::shownText(args.seconds, 160) + "' is not a number of seconds from 0 to 3600");
    }
    selftest::Options options;
    options.device = args.device;
    options.quick = args.quick;
    options.seconds = seconds;
    options.reboot = args.reboot;
    if (!args.program.empty()) {
        std::string error;
        options.program = selftest::readProgram(args.program, error);
        if (!options.program) return usage(args.program, error);
    }
    Output json{args.json, {}};
    Output junit{args.junit, {}};
    if (const auto refused = openOutputs(json, junit, args.program)) return *refused;
    driver::Transport* transport = context.transport();
    if (!transport) return kExitUsage;
    options.root = context.dataRoot();

    // Standard output carries a document when one is asked for there; the table then goes to standard error.
    std::FILE* out = json.toStdout() || junit.toStdout() ? stderr : stdout;
    onStopSignals(onStopSignal);
    const selftest::CheckTable table = selftest::runSelfTest(*transport, options, hooksFor(context, out));
    int status = table.exitStatus();
    if (!table.notRun.empty()) {
        fail({}, table.notRun);
    } else {
        if (table.interrupted) fail("selftest", "interrupted; the card is closed");
        std::fprintf(out, "%s\n", selftest::summaryLine(table).c_str());
        std::fflush(out);
    }
    const bool written =
        writeOutput(json, selftest::tableJson(table)) & writeOutput(junit, selftest::tableJUnit(table));
    if (!written && status == 0) status = 1;
    return status;
}

void installSelfTest(CLI::App& app, CliContext& context) {
    auto* cmd = app.add_subcommand("selftest", "Test a card: a table of named checks, each passed or failed with why");
    auto args = std::make_shared<SelfTestArgs>();
    cmd->add_option("--device", args->device, "Device number to test (0..31)")->type_name("N");
    cmd->add_flag("--quick", args->quick, "No memory test, 2 s of reception");
    cmd->add_option("--seconds", args->seconds, "Seconds of reception (default 10, 2 with --quick)")->type_name("S");
    cmd->add_option("--json", args->json, "Also write the table as JSON (- for standard output)")->type_name("FILE");
    cmd->add_option("--junit", args->junit, "Also write the table as JUnit XML (- for standard output)")
        ->type_name("FILE");
    cmd->add_option("--program", args->program, "DSP program image to boot instead of the sample program")
        ->type_name("FILE.IMG");
    cmd->add_flag("--reboot", args->reboot, "Reset and boot a card in service too (it is spared otherwise)");
    cmd->footer(
        "Examples:\n"
        "  pemblorctl selftest --device 1                          every check on card 1\n"
        "  pemblorctl selftest --quick --junit selftest.xml        2 s of streams, for a CI server\n"
        "  pemblorctl selftest --json - | jq -r '.checks[] | select(.result == \"FAIL\") | .name'");
    cmd->callback([&context, args] { context.exitCode = runSelfTest(context, *args); });
}

}  // namespace

PEMBLOR_CLI_COMMAND(installSelfTest);

}  // namespace pemblor::cli
