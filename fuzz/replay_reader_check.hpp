#pragma once
// What reading a replay file must guarantee whatever text it holds; shared
// by the fuzz target and the corpus test. @PATH items are found in `folder`.
#include <filesystem>
#include <string>
#include <string_view>

#include "sim/card/sim_areas.hpp"
#include "sim/settings/replay.hpp"

namespace pemblor::sim {

inline std::size_t areaSizeOf(std::uint32_t word) {
    switch (word) {
        case 1: return kEncodedStreamAreaSize;
        case 5: return kOriginalVideoAreaSize;
        case 9: return kPreviewSlotsAreaSize;
        case 13: return kFullPreviewAreaSize;
        default: return 0;
    }
}

inline bool readReplayKeepsItsPromises(std::string_view text, const std::filesystem::path& folder) {
    ReplayScript script;
    std::string error;
    if (!readReplayText(text, "fuzz.rpl", folder, script, error))
        return error.starts_with("fuzz.rpl:") && error.find(": ", 9) != std::string::npos;
    std::uint64_t last = 0;
    for (const ReplayFetch& f : script.fetches) {
        if (f.records.size() > 8 || f.atMicros < last) return false;
        last = f.atMicros;
        for (const ReplayArea& a : f.areas) {
            const std::size_t size = areaSizeOf(a.word);
            if (a.offset > size || a.size() > size - a.offset) return false;
            if (a.data && a.from + a.length > a.data->size()) return false;
        }
    }
    return !script.paced || script.fetches.empty() || script.loopMicros >= last;
}

}  // namespace pemblor::sim
