#pragma once
// The sample DSP program: a small TI COFF executable (not a real DSP program:
// its bytes only make a pattern that is easy to find in the card's memory).
// The build writes it and its image for the README's walk; the self-test
// loads it when it is given no program of its own.
#include <cstdint>
#include <vector>

namespace pemblor::program {

// The executable's bytes (not scrambled).
std::vector<std::uint8_t> sampleProgram();

}  // namespace pemblor::program
