// pemblorctl replay make IN OUT | replay info FILE...: replay files for the
// simulated cards, made from any H.264 stream, and what they hold.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli_context.hpp"
#include "cli_conventions.hpp"
#include "rate_option.hpp"
#include "common/replacing_file.hpp"
#include "recording/recording_stream.hpp"
#include "recording/replay_make.hpp"
#include "sim/settings/replay.hpp"

namespace pemblor::cli {

namespace {

struct ReplayArgs {
    std::string input, output, fps;
    std::vector<std::string> files;
    recording::MakeOptions make;
};

void printSummary(const sim::ReplayScript& script, std::ostream& out) {
    const sim::ReplaySummary s = sim::summarize(script);
    out << script.file << "\n  fetches:  " << s.fetches << "\n  records: ";
    if (s.recordsByCode.empty()) out << " none";
    for (const auto& [code, count] : s.recordsByCode) {
        char text[32];
        std::snprintf(text, sizeof text, " 0x%X: %llu", code, static_cast<unsigned long long>(count));
        out << text;
    }
    out << "\n  bytes:    " << s.areaBytes << " into the areas\n  duration: ";
    if (script.paced)
        out << recording::rateText(static_cast<std::uint32_t>(s.durationMicros / 1000), 1000) << " s to the last fetch\n";
    else
        out << "unpaced (as fast as the console fetches)\n";
}

void installReplay(CLI::App& app, CliContext& context) {
    auto args = std::make_shared<ReplayArgs>();
    CLI::App* cmd = app.add_subcommand("replay", "Make replay files from H.264 streams and look into them");
    cmd->require_subcommand(1);

    CLI::App* make = cmd->add_subcommand("make", "Cut an H.264 stream into blocks and records as the card sends them");
    make->add_option("IN", args->input, "An H.264 stream, a recording, or a video file libavformat opens")->required();
    make->add_option("OUT", args->output, "The replay file; its data go to OUT.bin")->required();
    make->add_option("--channel", args->make.channel, "Channel of the stream, 0 to 3 (default 0)")
        ->check(CLI::Range(0, 3));
    make->add_flag("--sub", args->make.sub, "The channel's sub-stream (stream ids 4 to 7)");
    make->add_flag("--marked", args->make.marked, "A marked block before each key picture, as the card sends them");
    make->add_option("--fps", args->fps, "Pictures a second when neither the stream nor its container says (default 25)")
        ->type_name("RATE");
    make->add_flag("--verbose", args->make.verbose, "Let the container library's own messages through");
    make->footer(
        "Examples:\n"
        "  pemblorctl replay make clip.mp4 clip.rpl                 channel 0's main stream\n"
        "  pemblorctl replay make --channel 2 --sub --marked raw.264 sub.rpl");
    make->callback([args, &context] {
        if (!readFpsOption(args->fps, args->make.fpsNum, args->make.fpsDen, context.exitCode)) return;
        common::removeTemporaryFilesOnStopSignals();
        context.exitCode = recording::makeReplay(args->input, args->output, std::cout, errorLines(), args->make);
    });

    CLI::App* info = cmd->add_subcommand("info", "Fetches, records per code, bytes and duration of replay files");
    info->add_option("FILE", args->files, "Replay files")->required();
    info->footer(
        "Examples:\n"
        "  pemblorctl replay info site.rpl\n"
        "  pemblorctl replay info *.rpl");
    info->callback([args, &context] {
        for (const std::string& file : args->files) {
            sim::ReplayScript script;
            std::string error;
            if (!sim::readReplay(file, script, error)) {
                context.exitCode = fail({}, error);
                continue;
            }
            script.file = file;
            printSummary(script, std::cout);
        }
    });
}

}  // namespace
PEMBLOR_CLI_COMMAND(installReplay);
}  // namespace pemblor::cli
