// pemblorctl convert PROG.out: writes the scrambled image PROG.IMG beside it.
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
    CLI::App* cmd = app.add_subcommand("convert", "Convert a DSP program (COFF executable, .out) into its image file (.IMG)");
    cmd->add_option("program", *coff, "The COFF executable, e.g. PROG.out")->required();
    cmd->callback([coff, &context] { context.exitCode = program::runConvertTool(*coff, std::cout, std::cerr); });
}

}  // namespace
PEMBLOR_CLI_COMMAND(installConvert);
}  // namespace pemblor::cli
