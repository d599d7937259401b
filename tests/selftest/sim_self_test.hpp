#pragma once
// A self-test of card 0 among simulated cards set up by a settings text, its
// recordings in a folder of its own, held against what the card delivered.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "selftest/self_test.hpp"
#include "sim/card/sim_transport.hpp"
#include "sim/settings/sim_settings.hpp"
#include "support/temp_dir.hpp"

namespace pemblor::selftest::testing {

inline CheckTable selfTestOfSimulatedCard(std::string_view cardSettings, Options options,
                                          const pemblor::testing::TempDir& dir) {
    sim::SimSettings settings = sim::SimSettings::withCards({0});
    std::string error;
    EXPECT_TRUE(sim::applySimConfigText("[card 0]\n" + std::string(cardSettings) + "\n", "cards.ini", settings, error))
        << error;
    sim::SimTransport cards(std::move(settings));
    options.root = dir.path();
    Hooks hooks;
    hooks.delivered = [&cards](int device) { return cards.payloadBytes(device); };
    return runSelfTest(cards, options, hooks);
}

}  // namespace pemblor::selftest::testing
