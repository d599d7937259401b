#pragma once
// An output that replaces a file only once it is complete: written under a
// temporary name in the target's own folder, renamed onto the target by
// commit(). A failure, an object that goes without commit(), or SIGINT and
// SIGTERM (with removeTemporaryFilesOnStopSignals() installed) remove the
// temporary file, so whatever the target held before stays as it was. A
// target that is a symbolic link keeps its link: the file it names is
// replaced. A target that is a device or a FIFO (/dev/null, a pipe) is
// written directly; a folder is refused.
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace pemblor::common {

class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile() { abandon(); }
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Creates the temporary file beside target. False (errno in error())
    // when it can't be created.
    bool open(const std::filesystem::path& target);
    bool isOpen() const { return fd_ >= 0; }
    // The temporary file: for a library that writes by name (then open the
    // name, write, close, and commit). The target itself when it is written directly.
    const std::filesystem::path& temporaryPath() const { return direct_ ? target_ : temporary_; }
    int fd() const { return fd_; }

    // Every byte, across short writes; false (errno in error()) on failure.
    bool write(std::span<const std::uint8_t> bytes);
    bool write(std::string_view text);
    // Flushes to the disk, closes and renames onto the target; false (errno
    // in error()) when any step fails, and then the target is untouched.
    bool commit();
    // Removes the temporary file; the target stays as it was.
    void abandon();

    int error() const { return error_; }
    // "<target>: <system reason>" for the last failure.
    std::string errorText() const;
    const std::filesystem::path& target() const { return target_; }

private:
    bool fail(int error);

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    int slot_ = -1;  // in the table the stop-signal handler clears
    int error_ = 0;
    bool direct_ = false;  // a device or FIFO, written in place
};

// SIGINT and SIGTERM remove every temporary file still open, then end the
// program as the signal would have. For programs without a handler of their own.
void removeTemporaryFilesOnStopSignals();
// For programs with their own handler: removes them now (async-signal-safe).
void removeTemporaryFiles();

}  // namespace pemblor::common
