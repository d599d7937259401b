#pragma once
// Inputs taken by name: from settings, from a dialog, from the command line.
// A name must stand for a regular file before it is read (a FIFO or a device
// would block the reader, a folder is no file), its size is taken before its
// bytes, and an output is never the same file as its input under another name
// (a symbolic or a hard link). Reasons are the system's own words.
#include <cstdint>
#include <filesystem>
#include <istream>
#include <optional>
#include <string>
#include <string_view>

namespace pemblor::common {

// Longest line of text a script, settings or replay file may hold.
inline constexpr std::size_t kMaxTextLine = 64 * 1024;

// "No such file or directory" for ENOENT.
std::string systemReason(int error);

// A regular file open for reading, with its size. Opened without blocking,
// so a FIFO named by mistake is refused instead of waited on.
class InputFile {
public:
    InputFile() = default;
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // False with a reason ("No such file or directory", "is a folder",
    // "is not a regular file") when the name can't be read as a file.
    bool open(const std::filesystem::path& path, std::string& reason);
    std::uint64_t size() const { return size_; }
    int fd() const { return fd_; }
    // Reads up to size bytes from the current offset; the count read, -1 on failure (errno).
    long long read(void* data, std::size_t size);
    // Hands the descriptor over (to a stdio stream, say); the object is then closed.
    int release();

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
};

// The whole of a regular file of at most limit bytes: the size is taken, and
// refused when too big, before anything is read.
bool readRegularFile(const std::filesystem::path& path, std::uint64_t limit, std::string& bytes,
                     std::string& reason);

// True when both names exist and are one file (device and inode, links followed).
bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// One line of at most limit bytes (without its '\n') from a stream, read in
// pieces so that a line without end costs no more than the limit.
enum class LineRead { kLine, kEnd, kTooLong };
LineRead readBoundedLine(std::istream& in, std::string& line, std::size_t limit = kMaxTextLine);

// Text that echoes input, made safe for a terminal: control bytes as \xHH,
// and every word longer than maxWord cut with "...".
std::string shownText(std::string_view text, std::size_t maxWord = 256);

}  // namespace pemblor::common
