#include "program/program_tools.hpp"

#include <cerrno>
#include <cstdio>
#include <limits>
#include <vector>
#include <system_error>

#include "common/input_file.hpp"
#include "common/replacing_file.hpp"
#include "program/image_file.hpp"
#include "program/scrambler.hpp"
#include "program/prepare.hpp"
#include "ui/text_host.hpp"
#include "resources/string_table.hpp"

namespace pemblor::program {

namespace {

// Replaces path only once every byte is written.
bool writeWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    common::ReplacingFile f;
    const bool ok = f.open(path) && f.write(bytes) && f.commit();
    if (!ok) errno = f.error();
    return ok;
}

void reportWriteFailed(std::ostream& err, const std::filesystem::path& path) {
    err << "pemblorctl: " << path.string() << ": " << common::systemReason(errno ? errno : EIO) << '\n';
}

// "-" is standard output; any other name is replaced only once complete.
bool writeOutput(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    if (path == "-") return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() && std::fflush(stdout) == 0;
    return writeWholeFile(path, bytes);
}

bool dumpBlocks(const BlockList& blocks, const std::filesystem::path& dir, std::ostream& err) {
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const std::filesystem::path file = dir / blockFileName(i);
        if (!writeWholeFile(file, blocks[i].data)) {
            reportWriteFailed(err, file);
            return false;
        }
    }
    return true;
}

}  // namespace

std::string formatBlockLine(std::size_t index, const LoadBlock& block) {
    char line[80];
    std::snprintf(line, sizeof line, "%4zu  %08x  %08x  %08x  ", index, block.address, block.length(),
                  block.fileOffset);
    return line + std::string(blockKindName(block.kind));
}

std::string blockFileName(std::size_t index) {
    char name[32];
    std::snprintf(name, sizeof name, "block-%04zu.bin", index);
    return name;
}

std::string_view readResultMeaning(ReadResult result) {
    switch (result) {
        case ReadResult::kOk: return "read";
        case ReadResult::kCannotOpen: return "can't be opened";
        case ReadResult::kUnknownVersion: return "unknown COFF version (0x0093, 0x00C1 and 0x00C2 are read)";
        case ReadResult::kTooManySections:
            return "more than 1024 section headers \u2014 not an image? A COFF program must be converted first";
        case ReadResult::kOutsideFile: return "a header, section or copy record lies beyond the end of the file";
        case ReadResult::kTooManyBlocks: return "more than 1024 load blocks";
    }
    return "unknown result";
}

namespace {

// Why a file is not a COFF executable the image reader would take: the file
// is walked as its image would be. Empty when it is one.
std::string coffRefusal(const std::filesystem::path& coffPath) {
    std::string bytes, reason;
    if (!common::readRegularFile(coffPath, std::numeric_limits<std::uint32_t>::max() - kFilePiece, bytes, reason))
        return reason;
    std::vector<std::uint8_t> image(bytes.begin(), bytes.end());
    scramble(image, 0);
    BlockList blocks;
    const ReadResult result = decodeImage(image, blocks);
    if (result == ReadResult::kOk) return {};
    return "not a COFF executable the card's loader takes (" + std::to_string(static_cast<int>(result)) + ": " +
           std::string(readResultMeaning(result)) + "); --force converts it anyway";
}

void toolError(std::ostream& err, const std::filesystem::path& subject, std::string_view reason) {
    err << "pemblorctl: " << subject.string() << ": " << reason << '\n';
}

}  // namespace

int runConvertTool(const std::filesystem::path& coffPath, std::ostream& out, std::ostream& err, bool force) {
    const std::optional<std::filesystem::path> image = imagePathFor(coffPath);
    if (!image) {
        toolError(err, coffPath, "not a COFF executable (the name must end in .out)");
        return 1;
    }
    if (!force) {
        if (const std::string refusal = coffRefusal(coffPath); !refusal.empty()) {
            toolError(err, coffPath, refusal);
            return 1;
        }
    }
    if (const auto failure = convertFile(coffPath, *image)) {
        toolError(err, failure->file, failure->reason);
        return 1;
    }
    out << image->string() << '\n';
    return 0;
}

int runImageTool(const ImageToolOptions& options, std::ostream& out, std::ostream& err) {
    if (options.decodeOut && common::sameFile(options.image, *options.decodeOut)) {
        toolError(err, *options.decodeOut, "input and output are the same file");
        return 1;
    }
    common::InputFile probe;
    std::string reason;
    if (!probe.open(options.image, reason)) {
        out << "result " << static_cast<int>(ReadResult::kCannotOpen) << '\n';
        toolError(err, options.image, "90: " + reason);
        return 1;
    }
    const std::optional<std::uint64_t> length = probe.size();
    std::optional<LoadImage> image = LoadImage::allocate(*length);
    if (!image) {
        err << resources::loadString(resources::kStrBufferAllocFailed) << '\n';
        return 1;
    }
    const ReadResult result = image->read(options.image);
    out << "result " << static_cast<int>(result) << '\n';
    if (result != ReadResult::kOk)
        toolError(err, options.image, std::to_string(static_cast<int>(result)) + ": " + std::string(readResultMeaning(result)));
    for (std::size_t i = 0; i < image->blocks().size(); ++i) out << formatBlockLine(i, image->blocks()[i]) << '\n';

    bool written = true;
    if (options.decodeOut && result != ReadResult::kCannotOpen && !writeOutput(*options.decodeOut, image->bytes())) {
        reportWriteFailed(err, *options.decodeOut);
        written = false;
    }
    if (options.dumpDir && result == ReadResult::kOk) written = dumpBlocks(image->blocks(), *options.dumpDir, err) && written;
    return result == ReadResult::kOk && written ? 0 : 1;
}

}  // namespace pemblor::program
