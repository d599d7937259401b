#pragma once
// What reading a replay file must guarantee whatever text it holds; shared
// by the fuzz target and the corpus test. @PATH items are found in `folder`.
#include <filesystem>
#include <string>
#include <string_view>

#include "sim/settings/replay.hpp"

namespace pemblor::sim {

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
            const std::size_t size = replayAreaSize(a.word);
            if (a.offset > size || a.size() > size - a.offset) return false;
            if (a.data && a.from + a.length > a.data->size()) return false;
        }
    }
    return !script.paced || script.fetches.empty() || script.loopMicros >= last;
}

}  // namespace pemblor::sim
