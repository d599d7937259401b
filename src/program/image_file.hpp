#pragma once
// DSP program files on disk: converting a COFF executable into a scrambled
// image file, and reading an image back into memory as a block list.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "program/coff_image.hpp"
#include "ui/host.hpp"

namespace pemblor::program {

// Files are read and written in pieces of this size.
inline constexpr std::size_t kFilePiece = 512;

// Which file a conversion failed on, and the system's reason.
struct ConvertFailure {
    std::filesystem::path file;
    std::string reason;
};
// Writes the image of a COFF executable (same length, every byte scrambled
// at its own offset), replacing imagePath only when complete.
std::optional<ConvertFailure> convertFile(const std::filesystem::path& coffPath, const std::filesystem::path& imagePath);

// Writes the image of a COFF executable (same length, every byte scrambled
// at its own offset). Failures are shown in message boxes as the path
// followed by "Open file failed!"; nothing is shown on success.
bool convert(ui::Host& host, ui::Dialog* owner, const std::filesystem::path& coffPath,
             const std::filesystem::path& imagePath);

// The length of a regular file that can be opened for reading, else nothing.
std::optional<std::uint64_t> readableFileLength(const std::filesystem::path& path);

// Reads the whole image file into buffer (pieces of 512 bytes, never beyond
// the buffer's end; a buffer of file length + 512 holds any file), unscrambles
// it and walks it. length receives the number of bytes read (0 on kCannotOpen).
ReadResult readImage(const std::filesystem::path& path, std::span<std::uint8_t> buffer, BlockList& blocks,
                     std::size_t& length);

// An image held in memory for one load: the file buffer and the block list
// that refers into it, kept together so that the blocks can't outlive their
// bytes. Moving keeps the blocks valid (the buffer stays where it is).
class LoadImage {
public:
    // A buffer for a file of fileLength bytes (fileLength + 512), or nothing
    // when it can't be had. Files beyond 32-bit offsets are refused here.
    static std::optional<LoadImage> allocate(std::uint64_t fileLength);

    ReadResult read(const std::filesystem::path& path);

    const BlockList& blocks() const { return blocks_; }
    // The unscrambled bytes read by the last read.
    std::span<const std::uint8_t> bytes() const { return {buffer_.get(), length_}; }
    std::size_t fileLength() const { return length_; }

private:
    LoadImage(std::unique_ptr<std::uint8_t[]> buffer, std::size_t capacity)
        : buffer_(std::move(buffer)), capacity_(capacity) {}

    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t capacity_ = 0;
    std::size_t length_ = 0;
    BlockList blocks_;
};

}  // namespace pemblor::program
