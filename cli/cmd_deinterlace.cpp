// pemblorctl deinterlace: de-interlaces raw captures offline, the way the
// preview window treats full-size pictures.
#include <CLI/CLI.hpp>
#include <iostream>
#include <memory>
#include <string>

#include "cli_context.hpp"
#include "video/deinterlace_stream.hpp"

namespace pemblor::cli {

namespace {

struct DeinterlaceArgs {
    std::string in;
    std::string out;
    int width = video::kFullSizeWidth;
    int height = video::kFullSizePalHeight;
    std::string planes = "luma";
    bool to420 = false;
    std::string simd = "auto";
};

int runDeinterlace(const DeinterlaceArgs& args) {
    video::DeinterlaceStreamOptions options;
    options.width = args.width;
    options.height = args.height;
    options.layout = *video::parsePlaneLayout(args.planes);  // CLI11 has checked the name
    options.to420 = args.to420;
    if (args.simd != "auto") options.level = video::parseSimdLevel(args.simd);
    const auto result = video::deinterlaceFile(args.in, args.out, options);
    if (!result.ok) {
        std::cerr << "pemblorctl deinterlace: " << result.error << "\n";
        return 1;
    }
    const auto level = options.level.value_or(video::bestSimdLevel());
    std::cout << "deinterlaced " << result.pictures << (result.pictures == 1 ? " picture" : " pictures") << " of "
              << args.width << " x " << args.height << " (" << video::planeLayoutName(options.layout)
              << (args.to420 ? " to 420" : "") << ", " << video::simdLevelName(level) << ")\n";
    return 0;
}

void installDeinterlace(CLI::App& app, CliContext& context) {
    auto args = std::make_shared<DeinterlaceArgs>();
    CLI::App* cmd = app.add_subcommand("deinterlace", "De-interlace raw pictures stored back to back");
    cmd->add_option("IN", args->in, "File of pictures back to back")->required();
    cmd->add_option("OUT", args->out, "File that receives the processed pictures")->required();
    cmd->add_option("--width", args->width, "Samples per line, a multiple of 8")->capture_default_str();
    cmd->add_option("--height", args->height, "Lines per picture: 576 (PAL) or 480 (NTSC), a multiple of 8")
        ->capture_default_str();
    cmd->add_option("--planes", args->planes, "luma: luma planes only; 422: whole planar 4:2:2 pictures")
        ->check(CLI::IsMember({"luma", "422"}))
        ->capture_default_str();
    cmd->add_flag("--to420", args->to420, "With --planes 422: write the chroma converted to 4:2:0");
    cmd->add_option("--simd", args->simd, "Instruction set: auto, scalar, sse2, avx2 or avx512")
        ->check(CLI::IsMember({"auto", "scalar", "sse2", "avx2", "avx512"}))
        ->capture_default_str();
    cmd->callback([args, &context] { context.exitCode = runDeinterlace(*args); });
}

}  // namespace

PEMBLOR_CLI_COMMAND(installDeinterlace);

}  // namespace pemblor::cli
