#pragma once
// A C stdio file that closes itself.
#include <cstdio>
#include <memory>

namespace pemblor::program {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Closes the file and tells whether everything written reached it.
inline bool closeFlushed(FilePtr& file) { return std::fclose(file.release()) == 0; }

}  // namespace pemblor::program
