// pemblorctl image PROG.img [--dump DIR] [--decode OUT]: what a load would send.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>

#include "cli_context.hpp"
#include "program/program_tools.hpp"

namespace pemblor::cli {
namespace {

struct ImageArgs {
    std::string image;
    std::string dumpDir;
    std::string decodeOut;
};

void installImage(CLI::App& app, CliContext& context) {
    auto args = std::make_shared<ImageArgs>();
    CLI::App* cmd = app.add_subcommand("image", "List the load blocks of a DSP program image (reader result first)");
    cmd->add_option("IN", args->image, "The image file, e.g. PROG.IMG")->required();
    cmd->add_option("--dump", args->dumpDir, "Write each block's bytes to DIR/block-NNNN.bin")->type_name("DIR");
    cmd->add_option("--decode", args->decodeOut, "Write the unscrambled file to OUT (- for standard output)")
        ->type_name("OUT");
    cmd->footer(
        "Examples:\n"
        "  pemblorctl image PROG.IMG                   result and load blocks\n"
        "  pemblorctl image PROG.IMG --dump blocks     each block's bytes to blocks/block-NNNN.bin\n"
        "  pemblorctl image PROG.IMG --decode - | xxd  the unscrambled program");
    cmd->callback([args, &context] {
        program::ImageToolOptions options{args->image, std::nullopt, std::nullopt};
        if (!args->dumpDir.empty()) options.dumpDir = args->dumpDir;
        if (!args->decodeOut.empty()) options.decodeOut = args->decodeOut;
        context.exitCode = program::runImageTool(options, std::cout, std::cerr);
    });
}

}  // namespace
PEMBLOR_CLI_COMMAND(installImage);
}  // namespace pemblor::cli
