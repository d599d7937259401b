#pragma once
// Which vector instruction set a hot loop runs on. SSE2 is the x86-64 baseline;
// AVX2 and AVX-512 (foundation, byte/word and VNNI instructions) are used only
// when the processor and the operating system support them.
#include <optional>
#include <string_view>

namespace pemblor::video {

enum class SimdLevel { Scalar, Sse2, Avx2, Avx512 };

inline constexpr SimdLevel kAllSimdLevels[] = {SimdLevel::Scalar, SimdLevel::Sse2, SimdLevel::Avx2, SimdLevel::Avx512};

// True when code for the level can run on this machine.
bool simdLevelAvailable(SimdLevel level);
// The fastest available level.
SimdLevel bestSimdLevel();

std::string_view simdLevelName(SimdLevel level);
// "scalar", "sse2", "avx2" or "avx512"; nothing for anything else.
std::optional<SimdLevel> parseSimdLevel(std::string_view name);

}  // namespace pemblor::video
