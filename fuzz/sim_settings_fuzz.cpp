// libFuzzer target for the card settings (INI) reader: whatever the text, it
// is applied whole or not at all, and a refusal says where and why in text
// that is safe to show on a terminal.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sim/settings/sim_settings.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pemblor::sim;
    const std::string text(reinterpret_cast<const char*>(data), size);
    SimSettings settings = SimSettings::withCards({0, 1});
    const SimSettings before = settings;
    std::string error;
    if (applySimConfigText(text, "fuzz.ini", settings, error)) return 0;
    if (!error.starts_with("fuzz.ini:")) std::abort();
    for (const char c : error)
        if (static_cast<unsigned char>(c) < 0x20) std::abort();
    // Refused settings leave the cards as they were.
    if (settings.cards.size() != before.cards.size()) std::abort();
    for (const auto& [number, card] : before.cards)
        if (!settings.cards.contains(number) || settings.cards.at(number).version != card.version) std::abort();
    return 0;
}
