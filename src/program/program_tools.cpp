#include "program/program_tools.hpp"

#include <cstdio>
#include <system_error>

#include "common/input_file.hpp"
#include "common/replacing_file.hpp"
#include "program/image_file.hpp"
#include "program/prepare.hpp"
#include "ui/text_host.hpp"
#include "resources/string_table.hpp"

namespace pemblor::program {

namespace {

// Replaces path only once every byte is written.
bool writeWholeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    common::ReplacingFile f;
    return f.open(path) && f.write(bytes) && f.commit();
}

void reportWriteFailed(std::ostream& err, const std::filesystem::path& path) {
    err << path.string() << resources::loadString(resources::kStrOpenFileFailed) << '\n';
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

int runConvertTool(const std::filesystem::path& coffPath, std::ostream& out, std::ostream& err) {
    if (!imagePathFor(coffPath)) {
        err << coffPath.string() << ": not a COFF executable (the name must end in .out)\n";
        return 1;
    }
    if (common::sameFile(coffPath, *imagePathFor(coffPath))) {
        err << imagePathFor(coffPath)->string() << ": input and output are the same file\n";
        return 1;
    }
    ui::TextHost host(err);
    const std::optional<std::filesystem::path> image = convertBeside(host, nullptr, coffPath);
    if (!image) return 1;
    out << image->string() << '\n';
    return 0;
}

int runImageTool(const ImageToolOptions& options, std::ostream& out, std::ostream& err) {
    if (options.decodeOut && common::sameFile(options.image, *options.decodeOut)) {
        err << options.decodeOut->string() << ": input and output are the same file\n";
        return 1;
    }
    const std::optional<std::uint64_t> length = readableFileLength(options.image);
    if (!length) {
        out << "result " << static_cast<int>(ReadResult::kCannotOpen) << '\n';
        return 1;
    }
    std::optional<LoadImage> image = LoadImage::allocate(*length);
    if (!image) {
        err << resources::loadString(resources::kStrBufferAllocFailed) << '\n';
        return 1;
    }
    const ReadResult result = image->read(options.image);
    out << "result " << static_cast<int>(result) << '\n';
    for (std::size_t i = 0; i < image->blocks().size(); ++i) out << formatBlockLine(i, image->blocks()[i]) << '\n';

    bool written = true;
    if (options.decodeOut && result != ReadResult::kCannotOpen && !writeWholeFile(*options.decodeOut, image->bytes())) {
        reportWriteFailed(err, *options.decodeOut);
        written = false;
    }
    if (options.dumpDir && result == ReadResult::kOk) written = dumpBlocks(image->blocks(), *options.dumpDir, err) && written;
    return result == ReadResult::kOk && written ? 0 : 1;
}

}  // namespace pemblor::program
