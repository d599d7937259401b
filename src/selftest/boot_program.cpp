// The DSP program the boot checks load: the sample program, or an image file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "program/image_file.hpp"
#include "program/prepare.hpp"
#include "program/sample_program.hpp"
#include "selftest/self_test.hpp"

namespace pemblor::selftest {

namespace {

std::string_view readFailure(program::ReadResult result) {
    switch (result) {
        case program::ReadResult::kUnknownVersion: return "not a DSP program image (unknown COFF version)";
        case program::ReadResult::kTooManySections: return "not a DSP program image (more than 1024 sections)";
        case program::ReadResult::kOutsideFile: return "not a DSP program image (a section lies beyond its end)";
        case program::ReadResult::kTooManyBlocks: return "not a DSP program image (more than 1024 load blocks)";
        default: return "cannot be read";
    }
}

// Empty when the path names a regular file that opens for reading; else why not.
std::string openFailure(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::strerror(errno);
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return regular ? std::string() : "not a regular file";
}

}  // namespace

std::shared_ptr<const Program> sampleProgram() {
    auto p = std::make_shared<Program>();
    p->name = "sample program";
    p->bytes = program::sampleProgram();
    // The build makes the same program, so it walks; an empty list would fail the load check.
    if (program::walkSections(p->bytes, p->blocks) != program::ReadResult::kOk) p->blocks.clear();
    return p;
}

std::shared_ptr<const Program> readProgram(const std::filesystem::path& path, std::string& error) {
    if (program::upperExtension(path) == "OUT") {
        error = "a COFF executable, not an image: make its image first (pemblorctl convert)";
        return nullptr;
    }
    error = openFailure(path);
    if (!error.empty()) return nullptr;
    const std::optional<std::uint64_t> length = program::readableFileLength(path);
    if (!length || *length == 0) {
        error = length ? "is empty" : "cannot be read";
        return nullptr;
    }
    std::optional<program::LoadImage> image = program::LoadImage::allocate(*length);
    if (!image) {
        error = "too large for a DSP program image";
        return nullptr;
    }
    if (const program::ReadResult r = image->read(path); r != program::ReadResult::kOk) {
        error = readFailure(r);
        return nullptr;
    }
    auto p = std::make_shared<Program>();
    p->name = path.filename().string();
    p->bytes.assign(image->bytes().begin(), image->bytes().end());
    // The same bytes walked again, so that the blocks refer into the program's own copy.
    program::walkSections(p->bytes, p->blocks);
    return p;
}

}  // namespace pemblor::selftest
