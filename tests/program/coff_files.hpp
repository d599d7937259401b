#pragma once
// The tests' COFF files: the project's writer, and helpers to fill, scramble,
// write and read them back.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "program/coff_writer.hpp"
#include "program/scrambler.hpp"

namespace pemblor::program::testing {

using Bytes = std::vector<std::uint8_t>;
using program::CoffLayout;
using program::CoffSection;
using program::CoffWriter;
using program::copyRecords;
using program::CopyRecord;

inline Bytes pattern(std::size_t n, std::uint8_t seed) {
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7);
    return b;
}

inline Bytes scrambled(Bytes b) {
    scramble(b, 0);
    return b;
}

inline void writeFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes readFile(const std::filesystem::path& path) {
    std::ifstream f(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

}  // namespace pemblor::program::testing
