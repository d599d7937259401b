// pemblorctl convert PROG.out [--force]: writes the scrambled image PROG.IMG beside it.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>

#include "cli_context.hpp"
#include "program/program_tools.hpp"

namespace pemblor::cli {
namespace {

void installConvert(CLI::App& app, CliContext& context) {
    auto coff = std::make_shared<std::string>();
    auto force = std::make_shared<bool>(false);
    CLI::App* cmd = app.add_subcommand("convert", "Convert a DSP program (COFF executable, .out) into its image file (.IMG)");
    cmd->add_option("IN", *coff, "The COFF executable, e.g. PROG.out; the image PROG.IMG is written beside it")
        ->required();
    cmd->add_flag("--force", *force, "Convert a file that is no COFF executable the card's loader takes");
    cmd->footer(
        "Examples:\n"
        "  pemblorctl convert PROG.out           writes PROG.IMG beside it\n"
        "  pemblorctl convert dsp/ENCODER.OUT    writes dsp/ENCODER.IMG\n"
        "  pemblorctl convert --force odd.out    converts a file the reader would refuse");
    cmd->callback([coff, force, &context] {
        context.exitCode = program::runConvertTool(*coff, std::cout, std::cerr, *force);
    });
}

}  // namespace
PEMBLOR_CLI_COMMAND(installConvert);
}  // namespace pemblor::cli
