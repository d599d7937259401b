#include "video/simd_level.hpp"

namespace pemblor::video {

bool simdLevelAvailable(SimdLevel level) {
    switch (level) {
        case SimdLevel::Scalar:
        case SimdLevel::Sse2:
            return true;
        case SimdLevel::Avx2:
            // Also false when the OS does not save the AVX registers.
            return __builtin_cpu_supports("avx2");
        case SimdLevel::Avx512:
            return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                   __builtin_cpu_supports("avx512vnni");
    }
    return false;
}

SimdLevel bestSimdLevel() {
    static const SimdLevel best = simdLevelAvailable(SimdLevel::Avx512) ? SimdLevel::Avx512
                                  : simdLevelAvailable(SimdLevel::Avx2) ? SimdLevel::Avx2
                                                                        : SimdLevel::Sse2;
    return best;
}

std::string_view simdLevelName(SimdLevel level) {
    switch (level) {
        case SimdLevel::Scalar:
            return "scalar";
        case SimdLevel::Sse2:
            return "sse2";
        case SimdLevel::Avx2:
            return "avx2";
        case SimdLevel::Avx512:
            return "avx512";
    }
    return "?";
}

std::optional<SimdLevel> parseSimdLevel(std::string_view name) {
    for (SimdLevel level : kAllSimdLevels) {
        if (name == simdLevelName(level)) return level;
    }
    return std::nullopt;
}

}  // namespace pemblor::video
