// Writes the sample DSP program that the README's walk loads: a small TI
// COFF executable (not a real DSP program: its bytes only make a pattern
// that is easy to find in the card's memory) and its image, made by the same
// conversion as "pemblorctl convert".
//
//   make_sample_program DIR     -> DIR/sample.out, DIR/sample.IMG
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string_view>

#include "program/coff_writer.hpp"
#include "program/program_tools.hpp"

namespace {

using pemblor::program::CoffLayout;
using pemblor::program::CoffWriter;
using Bytes = std::vector<std::uint8_t>;

// Words counting up from base, little-endian.
Bytes words(std::uint32_t base, std::size_t count) {
    Bytes b(count * 4);
    for (std::size_t i = 0; i < count; ++i)
        pemblor::driver::storeU32(b, i * 4, base + static_cast<std::uint32_t>(i));
    return b;
}

Bytes text(std::string_view s, std::size_t size) {
    Bytes b(size, 0);
    std::copy_n(s.begin(), std::min(s.size(), size - 1), b.begin());
    return b;
}

Bytes program() {
    using namespace pemblor::program;
    return CoffWriter(CoffLayout::kC1)
        // Code on chip from address 0: 2 KiB of words 0x5A000000, 0x5A000001, ...
        .add({.address = 0x00000000, .flags = kSectionCode, .data = words(0x5A000000, 512), .name = ".text"})
        // A banner in external memory, clear of the two message areas at 0x80000000 and 0x8000A000.
        .add({.address = 0x80010000, .flags = kSectionData, .data = text("pemblor sample DSP program", 64),
              .name = ".const"})
        // Two records of initialised data, one on chip, one off chip.
        .add({.address = 0, .flags = kSectionCopy | kSectionData,
              .data = copyRecords({{0x00008000, {0x11111111, 0x22222222, 0x33333333, 0x44444444}},
                                   {0x80020000, {0xC0DE0001, 0xC0DE0002}}}),
              .name = ".cinit"})
        // Uninitialised data: in the program, not in the image.
        .add({.address = 0x00010000, .flags = kSectionUninitialised, .data = {}, .size = 4096, .name = ".bss"})
        .build();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_sample_program DIR\n";
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::filesystem::path coff = dir / "sample.out";
    const Bytes bytes = program();
    std::ofstream(coff, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::ostringstream out;
    return pemblor::program::runConvertTool(coff, out, std::cerr);
}
