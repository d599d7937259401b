#pragma once
// Text files in the console's code page (GBK) with CR LF line ends: the
// console keeps UTF-8 inside and converts when it writes such a file.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace pemblor::tools {

// UTF-8 to GBK; a character GBK cannot hold, or a broken UTF-8 sequence,
// becomes '?'.
std::string utf8ToGbk(std::string_view utf8);
// GBK to UTF-8, for reading such files back; a broken sequence becomes '?'.
std::string gbkToUtf8(std::string_view gbk);

class GbkTextFile {
public:
    enum class Mode { Truncate, Append };

    GbkTextFile() = default;
    // False when the file cannot be opened.
    bool open(const std::filesystem::path& path, Mode mode);
    bool isOpen() const { return file_ != nullptr; }
    // Writes the line converted to GBK, then CR LF.
    bool writeLine(std::string_view utf8);
    // True when every line reached the file. When not, an appended file is
    // cut back to what it held before: a failed append adds nothing.
    bool close();
    // Closes the file without what this object added to it.
    void abandon();

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
    long startSize_ = 0;  // the file's size when opened
};

}  // namespace pemblor::tools
