#include "tools/gbk_text_file.hpp"

#include <iconv.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace pemblor::tools {

namespace {

// Bytes of the broken or unmappable UTF-8 character at p: its lead byte and
// the continuation bytes that really follow it.
std::size_t utf8Skip(const char* p, std::size_t left) {
    const auto lead = static_cast<unsigned char>(p[0]);
    std::size_t want = 1;
    if (lead >= 0xF0 && lead < 0xF8) {
        want = 4;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        want = 3;
    } else if (lead >= 0xC0 && lead < 0xE0) {
        want = 2;
    }
    std::size_t n = 1;
    while (n < want && n < left && (static_cast<unsigned char>(p[n]) & 0xC0) == 0x80) ++n;
    return n;
}

std::string convert(const char* to, const char* from, std::string_view in, bool fromUtf8) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(in);
    std::string out;
    out.reserve(in.size() * 2 + 8);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char buf[1024];
    while (srcLeft > 0) {
        char* dst = buf;
        std::size_t dstLeft = sizeof buf;
        const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(buf, static_cast<std::size_t>(dst - buf));
        if (rc != static_cast<std::size_t>(-1)) break;
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: replace one character and go on.
        out += '?';
        std::size_t skip = fromUtf8 ? utf8Skip(src, srcLeft) : 1;
        if (!fromUtf8 && static_cast<unsigned char>(*src) >= 0x81 && srcLeft >= 2) skip = 2;
        skip = std::min(skip, srcLeft);
        src += skip;
        srcLeft -= skip;
    }
    iconv_close(cd);
    return out;
}

}  // namespace

std::string utf8ToGbk(std::string_view utf8) {
    // ASCII is the same in both, and most lines are ASCII: no converter for them.
    if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(utf8);
    return convert("GBK", "UTF-8", utf8, true);
}

std::string gbkToUtf8(std::string_view gbk) { return convert("UTF-8", "GBK", gbk, false); }

bool GbkTextFile::open(const std::filesystem::path& path, Mode mode) {
    file_.reset(std::fopen(path.c_str(), mode == Mode::Append ? "ab" : "wb"));
    if (!file_) return false;
    std::fseek(file_.get(), 0, SEEK_END);
    startSize_ = std::max(0L, std::ftell(file_.get()));
    return true;
}

void GbkTextFile::abandon() {
    if (!file_) return;
    // Closed first, so that nothing still buffered can land after the cut.
    const int fd = ::dup(::fileno(file_.get()));
    std::fclose(file_.release());
    if (fd < 0) return;
    [[maybe_unused]] const int cut = ::ftruncate(fd, startSize_);
    ::close(fd);
}

bool GbkTextFile::writeLine(std::string_view utf8) {
    if (!file_) return false;
    std::string bytes = utf8ToGbk(utf8);
    bytes += "\r\n";
    return std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) == bytes.size();
}

bool GbkTextFile::close() {
    if (!file_) return false;
    // A full disk may only show when the buffered lines reach it.
    if (std::fflush(file_.get()) != 0) {
        const int error = errno;
        abandon();
        errno = error;
        return false;
    }
    std::FILE* f = file_.release();
    return std::fclose(f) == 0;
}

}  // namespace pemblor::tools
