// pemblorctl recording info [--json] FILE... | recording export [--fps RATE] FILE OUT.mp4|.mkv:
// what a recording holds, and its stream in a container every player opens.
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "common/replacing_file.hpp"
#include "recording/recording_tools.hpp"
#include "cli_context.hpp"
#include "cli_conventions.hpp"
#include "rate_option.hpp"

namespace pemblor::cli {

namespace {

struct RecordingArgs {
    std::vector<std::string> files;
    std::string input;
    std::string output;
    std::string fps;
    bool json = false;
    bool verbose = false;
};


// A progress line that rewrites itself, on a terminal only.
recording::Progress terminalProgress(const std::string& name) {
    if (!isatty(STDERR_FILENO)) return {};
    return [name](double share) {
        std::fprintf(stderr, "\rexporting %s: %3d%%", name.c_str(), static_cast<int>(share * 100));
        if (share >= 1.0) std::fprintf(stderr, "\n");
        std::fflush(stderr);
    };
}

void installRecording(CLI::App& app, CliContext& context) {
    auto args = std::make_shared<RecordingArgs>();
    CLI::App* cmd = app.add_subcommand("recording", "Look into recording files and export their streams");
    cmd->require_subcommand(1);

    CLI::App* info = cmd->add_subcommand("info", "Header, payload, marked blocks and pictures of recording files");
    info->add_option("FILE", args->files, "Recording files, e.g. EVDATA0000.264")->required();
    info->add_flag("--json", args->json, "One JSON document for all files");
    info->add_flag("--verbose", args->verbose, "Let the decoder library's own messages through");
    info->footer(
        "Examples:\n"
        "  pemblorctl recording info EVDATA0000.264           what the file holds\n"
        "  pemblorctl recording info --json *.264 | jq '.files[].pictures'");
    info->callback([args, &context] {
        std::vector<std::filesystem::path> files(args->files.begin(), args->files.end());
        context.exitCode = recording::recordingInfo(files, std::cout, errorLines(), {args->json, args->verbose});
    });

    CLI::App* exp = cmd->add_subcommand("export", "Copy a recording's stream into an MP4 or Matroska file");
    exp->add_option("FILE", args->input, "The recording, e.g. EVDATA0000.264")->required();
    exp->add_option("OUT", args->output, "The new file, ending in .mp4 or .mkv")->required();
    exp->add_option("--fps", args->fps, "Pictures a second when the stream does not say (default 25)")
        ->type_name("RATE");
    exp->add_flag("--verbose", args->verbose, "Let the container library's own messages through");
    exp->footer(
        "Examples:\n"
        "  pemblorctl recording export EVDATA0000.264 chan1.mp4\n"
        "  pemblorctl recording export --fps 30 EVDATA0101.264 chan2.mkv   a stream without timing at 30/s");
    exp->callback([args, &context] {
        recording::ExportOptions options;
        options.verbose = args->verbose;
        if (!readFpsOption(args->fps, options.fpsNum, options.fpsDen, context.exitCode)) return;
        // Ctrl-C or a termination leaves OUT as it was.
        common::removeTemporaryFilesOnStopSignals();
        context.exitCode = recording::exportRecording(args->input, args->output, std::cout, errorLines(),
                                                    terminalProgress(args->input), options);
    });
}

}  // namespace
PEMBLOR_CLI_COMMAND(installRecording);
}  // namespace pemblor::cli
