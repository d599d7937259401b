// Writes the sample DSP program that the README's walk loads (see
// program/sample_program.hpp) and its image, made by the same conversion as
// "pemblorctl convert".
//
//   make_sample_program DIR     -> DIR/sample.out, DIR/sample.IMG
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "program/program_tools.hpp"
#include "program/sample_program.hpp"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_sample_program DIR\n";
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    const std::filesystem::path coff = dir / "sample.out";
    const std::vector<std::uint8_t> bytes = pemblor::program::sampleProgram();
    std::ofstream(coff, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::ostringstream out;
    return pemblor::program::runConvertTool(coff, out, std::cerr);
}
