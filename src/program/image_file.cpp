#include "program/image_file.hpp"

#include <array>
#include <cstdio>
#include <limits>
#include <new>
#include <string>
#include <system_error>

#include "common/input_file.hpp"
#include "common/replacing_file.hpp"
#include "program/c_file.hpp"
#include "program/scrambler.hpp"
#include "resources/string_table.hpp"

namespace pemblor::program {

namespace {

// Directories and devices open on this platform but are no program files;
// a FIFO would even block the console.
FilePtr openRegularForReading(const std::filesystem::path& path) {
    common::InputFile in;
    std::string reason;
    if (!in.open(path, reason)) return nullptr;
    FilePtr f(::fdopen(in.fd(), "rb"));
    if (f) in.release();
    return f;
}

void showOpenFailed(ui::Host& host, ui::Dialog* owner, const std::filesystem::path& path) {
    host.messageBox(owner, path.string() + std::string(resources::loadString(resources::kStrOpenFileFailed)));
}

enum class CopyResult { kOk, kReadFailed, kWriteFailed };

// The image is exactly as long as the COFF file; the running offset makes
// each piece's transform that of the whole file.
CopyResult scrambleCopy(std::FILE* in, common::ReplacingFile& out) {
    std::array<std::uint8_t, kFilePiece> piece{};
    std::uint32_t offset = 0;
    for (;;) {
        const std::size_t n = std::fread(piece.data(), 1, piece.size(), in);
        if (n < piece.size() && std::ferror(in)) return CopyResult::kReadFailed;
        scramble(std::span(piece.data(), n), offset);
        if (!out.write(std::span(piece.data(), n))) return CopyResult::kWriteFailed;
        offset += static_cast<std::uint32_t>(n);
        if (n < piece.size()) return CopyResult::kOk;
    }
}

}  // namespace

std::optional<ConvertFailure> convertFile(const std::filesystem::path& coffPath,
                                         const std::filesystem::path& imagePath) {
    common::InputFile input;
    std::string reason;
    if (!input.open(coffPath, reason)) return ConvertFailure{coffPath, reason};
    FilePtr in(::fdopen(input.fd(), "rb"));
    if (!in) return ConvertFailure{coffPath, common::systemReason(errno)};
    input.release();
    // The image is written beside its old self and replaces it only when
    // complete; a program that is its own image under another name is refused.
    if (common::sameFile(coffPath, imagePath)) return ConvertFailure{imagePath, "input and output are the same file"};
    common::ReplacingFile out;
    if (!out.open(imagePath)) return ConvertFailure{imagePath, common::systemReason(out.error())};
    const CopyResult r = scrambleCopy(in.get(), out);
    if (r == CopyResult::kReadFailed) return ConvertFailure{coffPath, common::systemReason(errno)};
    // A full disk may only show when the last piece reaches it.
    if (r == CopyResult::kWriteFailed || !out.commit()) return ConvertFailure{imagePath, common::systemReason(out.error())};
    return std::nullopt;
}

bool convert(ui::Host& host, ui::Dialog* owner, const std::filesystem::path& coffPath,
             const std::filesystem::path& imagePath) {
    const std::optional<ConvertFailure> failure = convertFile(coffPath, imagePath);
    if (failure) showOpenFailed(host, owner, failure->file);
    return !failure;
}

std::optional<std::uint64_t> readableFileLength(const std::filesystem::path& path) {
    FilePtr f = openRegularForReading(path);
    if (!f) return std::nullopt;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) return std::nullopt;
    return size;
}

ReadResult readImage(const std::filesystem::path& path, std::span<std::uint8_t> buffer, BlockList& blocks,
                     std::size_t& length) {
    blocks.clear();
    length = 0;
    FilePtr f = openRegularForReading(path);
    if (!f) return ReadResult::kCannotOpen;
    // A file that grew since its length was taken is cut at the buffer's end.
    while (length < buffer.size()) {
        const std::size_t want = std::min(kFilePiece, buffer.size() - length);
        const std::size_t n = std::fread(buffer.data() + length, 1, want, f.get());
        length += n;
        if (n < want) break;
    }
    if (std::ferror(f.get())) {
        length = 0;
        return ReadResult::kCannotOpen;
    }
    return decodeImage(buffer.first(length), blocks);
}

std::optional<LoadImage> LoadImage::allocate(std::uint64_t fileLength) {
    // Raw-data offsets are 32-bit: a longer file is no image, and its
    // length + 512 would not even be a 32-bit size.
    if (fileLength > std::numeric_limits<std::uint32_t>::max() - kFilePiece) return std::nullopt;
    const std::size_t capacity = static_cast<std::size_t>(fileLength) + kFilePiece;
    try {
        return LoadImage(std::make_unique_for_overwrite<std::uint8_t[]>(capacity), capacity);
    } catch (const std::bad_alloc&) {
        return std::nullopt;
    }
}

ReadResult LoadImage::read(const std::filesystem::path& path) {
    return readImage(path, {buffer_.get(), capacity_}, blocks_, length_);
}

}  // namespace pemblor::program
