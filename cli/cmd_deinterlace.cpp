// pemblorctl deinterlace: de-interlaces raw captures offline, the way the
// preview window treats full-size pictures.
#include <CLI/CLI.hpp>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "cli_context.hpp"
#include "common/input_file.hpp"
#include "common/replacing_file.hpp"
#include "video/chroma_422_to_420.hpp"
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

// The card's original-video files hold whole planar 4:2:2 pictures, 704 x 576
// (or 480 with NTSC): read with the default luma planes, their chroma would
// pass for extra pictures.
bool isOriginalVideoFile(const std::string& name) {
    std::string base = std::filesystem::path(name).filename().string();
    for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return base.size() == 14 && base.starts_with("ORGVIDEO") && base.ends_with(".YUV");
}

// Takes the card's layout for its own files where the options left it open,
// and refuses a regular file that is no whole number of pictures, with a hint.
// Empty when the pictures can be read, else why not.
std::string fitLayout(DeinterlaceArgs& args, const video::DeinterlaceStreamOptions& options, bool planesGiven,
                      bool heightGiven, video::DeinterlaceStreamOptions& fitted) {
    fitted = options;
    std::error_code ec;
    if (isStandardStream(args.in) || !std::filesystem::is_regular_file(args.in, ec)) return {};
    const std::uintmax_t size = std::filesystem::file_size(args.in, ec);
    if (ec) return {};
    if (isOriginalVideoFile(args.in) && !planesGiven) fitted.layout = video::PlaneLayout::Planar422;
    const auto bytes = [&](int height) {
        return fitted.layout == video::PlaneLayout::Planar422
                   ? video::planar422Bytes(fitted.width, height)
                   : static_cast<std::size_t>(fitted.width) * static_cast<std::size_t>(height);
    };
    if (!heightGiven && size % bytes(fitted.height) != 0 && size % bytes(video::kFullSizeNtscHeight) == 0)
        fitted.height = video::kFullSizeNtscHeight;
    if (size % bytes(fitted.height) == 0) return {};
    return std::to_string(size) + " bytes are no whole number of " + std::to_string(fitted.width) + " x " +
           std::to_string(fitted.height) + " " + std::string(video::planeLayoutName(fitted.layout)) +
           " pictures (" + std::to_string(bytes(fitted.height)) +
           " bytes each); --width, --height and --planes give the layout (the card's original video is "
           "--planes 422)";
}

int runDeinterlace(DeinterlaceArgs& args, bool planesGiven, bool heightGiven) {
    video::DeinterlaceStreamOptions options;
    options.width = args.width;
    options.height = args.height;
    options.layout = *video::parsePlaneLayout(args.planes);  // CLI11 has checked the name
    options.to420 = args.to420;
    if (args.simd != "auto") options.level = video::parseSimdLevel(args.simd);
    if (const std::string bad = video::checkDeinterlaceStreamOptions(options); !bad.empty())
        return fail("deinterlace", bad, kExitUsage);
    if (const std::string bad = fitLayout(args, options, planesGiven, heightGiven, options); !bad.empty())
        return fail(args.in, bad);
    video::DeinterlaceStreamResult result;
    if (isStandardStream(args.in) || isStandardStream(args.out)) {
        // A pipe at one end or both; a file at the other end is read as usual,
        // or replaced only once complete.
        std::ifstream inFile;
        if (!isStandardStream(args.in)) {
            inFile.open(args.in, std::ios::binary);
            if (!inFile) return fail(args.in, common::systemReason(errno));
        }
        common::ReplacingFile replacing;
        std::ofstream outFile;
        if (!isStandardStream(args.out)) {
            if (!replacing.open(args.out)) return fail(args.out, common::systemReason(replacing.error()));
            outFile.open(replacing.temporaryPath(), std::ios::binary | std::ios::trunc);
        }
        std::istream& in = isStandardStream(args.in) ? std::cin : inFile;
        std::ostream& out = isStandardStream(args.out) ? std::cout : outFile;
        result = video::deinterlaceStream(in, out, options);
        out.flush();
        if (result.ok && !out) result = {false, result.pictures, args.out + ": " + common::systemReason(EIO)};
        if (result.ok && replacing.isOpen()) {
            outFile.close();
            if (!replacing.commit()) result = {false, result.pictures, replacing.errorText()};
        }
    } else {
        result = video::deinterlaceFile(args.in, args.out, options);
    }
    if (!result.ok) return fail("deinterlace", result.error);
    const auto level = options.level.value_or(video::bestSimdLevel());
    // The summary goes where results go, unless the pictures themselves do.
    std::ostream& summary = isStandardStream(args.out) ? std::cerr : std::cout;
    summary << "deinterlaced " << result.pictures << (result.pictures == 1 ? " picture" : " pictures") << " of "
            << options.width << " x " << options.height << " (" << video::planeLayoutName(options.layout)
            << (args.to420 ? " to 420" : "") << ", " << video::simdLevelName(level) << ")\n";
    return kExitOk;
}

void installDeinterlace(CLI::App& app, CliContext& context) {
    auto args = std::make_shared<DeinterlaceArgs>();
    CLI::App* cmd = app.add_subcommand("deinterlace", "De-interlace raw pictures stored back to back");
    cmd->add_option("IN", args->in, "File of pictures back to back, - for standard input")->required();
    cmd->add_option("OUT", args->out, "File that receives the processed pictures, - for standard output")->required();
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
    cmd->footer(
        "Examples:\n"
        "  pemblorctl deinterlace full.yuv out.yuv                  704 x 576 luma planes\n"
        "  pemblorctl deinterlace ORGVIDEO01.YUV out.yuv --to420    the card's original video, 4:2:2\n"
        "  cat full.yuv | pemblorctl deinterlace - - > out.yuv      standard input and output");
    cmd->callback([args, cmd, &context] {
        context.exitCode = runDeinterlace(*args, cmd->count("--planes") > 0, cmd->count("--height") > 0);
    });
}

}  // namespace

PEMBLOR_CLI_COMMAND(installDeinterlace);

}  // namespace pemblor::cli
