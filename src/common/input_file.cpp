#include "common/input_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace pemblor::common {

std::string systemReason(int error) { return std::system_category().message(error); }

InputFile::~InputFile() {
    if (fd_ >= 0) ::close(fd_);
}

bool InputFile::open(const std::filesystem::path& path, std::string& reason) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    // O_NONBLOCK: opening a FIFO for reading would wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        reason = systemReason(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        reason = systemReason(errno);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        reason = S_ISDIR(st.st_mode) ? "is a folder, not a file" : "is not a regular file";
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    fd_ = fd;
    size_ = static_cast<std::uint64_t>(st.st_size);
    return true;
}

long long InputFile::read(void* data, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd_, data, size);
        if (n < 0 && errno == EINTR) continue;
        return n;
    }
}

int InputFile::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

bool readRegularFile(const std::filesystem::path& path, std::uint64_t limit, std::string& bytes,
                     std::string& reason) {
    InputFile in;
    if (!in.open(path, reason)) return false;
    if (in.size() > limit) {
        reason = "the file is larger than " + std::to_string(limit) + " bytes";
        return false;
    }
    // A file that grows meanwhile is cut at the size taken.
    bytes.resize(static_cast<std::size_t>(in.size()));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const long long n = in.read(bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            reason = systemReason(errno);
            return false;
        }
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return true;
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    struct stat sa {}, sb {};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

LineRead readBoundedLine(std::istream& in, std::string& line, std::size_t limit) {
    line.clear();
    std::streambuf* buf = in.rdbuf();
    if (!buf || !in.good()) return LineRead::kEnd;
    for (;;) {
        const int c = buf->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            in.setstate(std::ios::eofbit);
            return line.empty() ? LineRead::kEnd : LineRead::kLine;
        }
        if (c == '\n') return LineRead::kLine;
        if (line.size() == limit) return LineRead::kTooLong;
        line += static_cast<char>(c);
    }
}

std::string shownText(std::string_view text, std::size_t maxWord) {
    std::string out;
    out.reserve(std::min<std::size_t>(text.size(), 4096));
    std::size_t wordStart = 0;  // where the word being copied starts in out
    bool cut = false;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == ' ') {
            out += ' ';
            wordStart = out.size();
            cut = false;
            continue;
        }
        if (cut) continue;
        char piece[8] = {ch, 0};
        if (c < 0x20 || c == 0x7F) std::snprintf(piece, sizeof piece, "\\x%02X", c);
        const std::string_view p(piece);
        if (out.size() - wordStart + p.size() > maxWord) {
            out += "...";
            cut = true;
            continue;
        }
        out += p;
    }
    return out;
}

}  // namespace pemblor::common
