#pragma once
// The program-file tools of pemblorctl ("convert" and "image"), as functions
// over output streams so that they can be run without a process.
#include <cstddef>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "program/coff_image.hpp"

namespace pemblor::program {

// Converts PROG.out into PROG.IMG beside it and prints the image path on out.
// The program must be a COFF executable that the image reader walks, unless
// force. Failures go to err as "pemblorctl: FILE: reason"; the exit status is
// 0 on success, 1 otherwise.
int runConvertTool(const std::filesystem::path& coffPath, std::ostream& out, std::ostream& err, bool force = false);

// What a reader result means: "more than 1024 load blocks".
std::string_view readResultMeaning(ReadResult result);

struct ImageToolOptions {
    std::filesystem::path image;
    std::optional<std::filesystem::path> dumpDir;    // block-NNNN.bin per block
    std::optional<std::filesystem::path> decodeOut;  // the unscrambled file
};

// Prints "result N" and then one line per load block (a result other than 0
// is explained on err); exit status 0 when the reader's result is 0 and every
// requested file was written, else 1. A decodeOut of "-" is standard output.
int runImageTool(const ImageToolOptions& options, std::ostream& out, std::ostream& err);

// "   3  00800000  00000120  0000008c  section": index, destination address,
// length, file offset, kind.
std::string formatBlockLine(std::size_t index, const LoadBlock& block);

// "block-0003.bin"
std::string blockFileName(std::size_t index);

}  // namespace pemblor::program
