#include "program/sample_program.hpp"

#include <algorithm>
#include <string_view>

#include "program/coff_writer.hpp"

namespace pemblor::program {

namespace {

using Bytes = std::vector<std::uint8_t>;

// Words counting up from base, little-endian.
Bytes words(std::uint32_t base, std::size_t count) {
    Bytes b(count * 4);
    for (std::size_t i = 0; i < count; ++i) driver::storeU32(b, i * 4, base + static_cast<std::uint32_t>(i));
    return b;
}

Bytes text(std::string_view s, std::size_t size) {
    Bytes b(size, 0);
    std::copy_n(s.begin(), std::min(s.size(), size - 1), b.begin());
    return b;
}

}  // namespace

std::vector<std::uint8_t> sampleProgram() {
    return CoffWriter(CoffLayout::kC1)
        // Code on chip from address 0: 2 KiB of words 0x5A000000, 0x5A000001, ...
        .add({.address = 0x00000000, .flags = kSectionCode, .data = words(0x5A000000, 512), .name = ".text"})
        // A banner in external memory, clear of the two message areas at 0x80000000 and 0x8000A000.
        .add({.address = 0x80010000,
              .flags = kSectionData,
              .data = text("pemblor sample DSP program", 64),
              .name = ".const"})
        // Two records of initialised data, one on chip, one off chip.
        .add({.address = 0,
              .flags = kSectionCopy | kSectionData,
              .data = copyRecords({{0x00008000, {0x11111111, 0x22222222, 0x33333333, 0x44444444}},
                                   {0x80020000, {0xC0DE0001, 0xC0DE0002}}}),
              .name = ".cinit"})
        // Uninitialised data: in the program, not in the image.
        .add({.address = 0x00010000, .flags = kSectionUninitialised, .data = {}, .size = 4096, .name = ".bss"})
        .build();
}

}  // namespace pemblor::program
