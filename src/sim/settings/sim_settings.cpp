#include "sim/settings/sim_settings.hpp"

#include <algorithm>
#include <cstdio>

#include "sim/settings/sim_text.hpp"

namespace pemblor::sim {

SimSettings SimSettings::withCards(const std::vector<int>& numbers) {
    SimSettings settings;
    for (int n : numbers) settings.cards[n] = CardSettings{};
    return settings;
}

std::string defaultSerial(int deviceNumber) {
    char text[kMaxSerialLength + 1];
    std::snprintf(text, sizeof text, "SIM2026-%04d", deviceNumber);
    return text;
}

// Cards sit in consecutive bus slots from 3 on, as on a typical backplane.
std::uint32_t defaultSlot(int deviceNumber) { return 3 + static_cast<std::uint32_t>(deviceNumber); }

std::optional<std::vector<int>> parseCardList(std::string_view text, std::string& error) {
    const auto items = splitList(text);
    if (!items) {
        error = "empty item in '" + std::string(text) + "'";
        return std::nullopt;
    }
    std::vector<int> numbers;
    for (std::string_view item : *items) {
        const auto n = parseNumber(item);
        if (!n || *n > static_cast<std::uint32_t>(kMaxDeviceNumber)) {
            error = "'" + std::string(item) + "' is not a device number 0..31";
            return std::nullopt;
        }
        const int number = static_cast<int>(*n);
        if (std::find(numbers.begin(), numbers.end(), number) == numbers.end()) numbers.push_back(number);
    }
    return numbers;
}

}  // namespace pemblor::sim
