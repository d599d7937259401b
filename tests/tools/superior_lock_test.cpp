// The superior-operations lock, driven as an operator would.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/console.hpp"
#include "resources/console_ids.hpp"
#include "resources/dialogs.hpp"
#include "support/console_script.hpp"
#include "support/fake_host.hpp"

namespace pemblor::tools {
namespace {

using namespace resources::console;
using ::testing::ElementsAreArray;

// The controls the lock changes, in its order, with "enabled visible" when unlocked.
const std::vector<std::pair<int, std::string>> kUnlockedStates = {
    {1036, "1 1"}, {1030, "1 1"}, {1031, "1 1"}, {1022, "1 1"}, {1041, "1 1"}, {1070, "0 1"},
    {1071, "1 1"}, {1072, "0 1"}, {1028, "0 1"}, {1013, "1 1"}, {1032, "1 1"}, {1024, "1 1"},
    {1025, "1 1"}, {1034, "1 1"}, {1037, "1 1"}, {1029, "1 1"}, {1007, "1 1"}, {1006, "1 1"},
    {1067, "1 1"}, {1012, "1 1"}, {1068, "1 1"}, {1005, "1 1"}, {1069, "1 1"}, {1023, "1 1"}};

std::string stateLine(int id, const std::string& enabledVisible, const ui::Dialog& d) {
    const ui::Control& c = d.control(id);
    return "STATE " + std::to_string(id) + " enabled=" + enabledVisible.substr(0, 1) + " visible=" +
           enabledVisible.substr(2, 1) + " checked=0 selection=" + (id == kAddressType ? "1" : "-1") +  // "bar1   8M" at start
           " items=" + std::to_string(c.items.size());
}

TEST(SuperiorLock, WrongKeysKeepTheDialogOpenAndTheRightKeyUnlocksEveryRow) {
    std::string script =
        "click \"5 Enable Superior Op\"\n"
        "settext 1064 \"\"\nclick \"Enter\"\n"                 // empty
        "settext 1064 \"6174025\"\nclick \"Enter\"\n"          // last character missing
        "settext 1064 \"61740253 \"\nclick \"Enter\"\n"        // a blank added
        "settext 1064 \"61740253612345678901234\"\nprint 1064\n"  // cut at 20 characters
        "settext 1064 \"61740253\"\nclick \"Enter\"\n"
        "print 1061\n";
    for (const auto& [id, _] : kUnlockedStates) script += "state " + std::to_string(id) + "\n";
    script += "click 1061\nprint 1061\n";
    for (const auto& [id, _] : kUnlockedStates) script += "state " + std::to_string(id) + "\n";

    const auto run = testing::runConsoleScript(script, sim::SimSettings::withCards({0}));
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const ui::Dialog fresh(resources::consoleDialog());
    std::vector<std::string> want{"OPEN 102", "OPEN 132", "MSG Wrong key!", "MSG Wrong key!", "MSG Wrong key!",
                                  "TEXT 1064 61740253612345678901", "CLOSE 132 1",
                                  "TEXT 1061 Disable Superior Oper"};
    for (const auto& [id, ev] : kUnlockedStates) want.push_back(stateLine(id, ev, fresh));
    want.push_back("TEXT 1061 Enable Superior Oper");
    for (const auto& [id, ev] : kUnlockedStates) {
        // Locked: disabled and hidden, but for the rows the lock only shows.
        const bool onlyEnables = id == 1036 || id == 1030 || id == 1031 || id == 1022 || id == 1041;
        const bool keepsEnabled = id == 1013;
        want.push_back(stateLine(id, std::string(keepsEnabled ? "1" : "0") + " " + (onlyEnables ? "1" : "0"), fresh));
    }
    want.push_back("CLOSE 102 2");
    EXPECT_THAT(run.out, ElementsAreArray(want));
}

// The list takes two thirds of its height when unlocked and gets the height
// saved at the last unlock attempt back when locked; a cancelled attempt
// re-applies the locked state.
TEST(SuperiorLock, ListHeightFollowsTheLockAndCancelKeepsItLocked) {
    sim::SimTransport transport(sim::SimSettings::withCards({0}));
    driver::DriverLink link(transport);
    testing::FakeHost host;
    app::Console console(host, link);
    ui::Dialog& d = console.dialog();
    const ui::Rect full = d.control(kOutputList).rect;
    ASSERT_EQ(full.height, 580);

    bool typeKey = false;
    host.onModal = [&](ui::Dialog& key) {
        if (typeKey) key.userSetText(1064, "61740253");
        key.click(typeKey ? ui::kIdOk : ui::kIdCancel);
    };
    ASSERT_TRUE(d.click(kSuperiorOp));  // cancelled
    EXPECT_EQ(d.text(kSuperiorOp), "5 Enable Superior Op");
    EXPECT_FALSE(d.enabled(kResetDsp));
    EXPECT_FALSE(d.visible(kRead));
    EXPECT_EQ(d.control(kOutputList).rect, (ui::Rect{28, 35, full.width, 580}));

    typeKey = true;
    ASSERT_TRUE(d.click(kSuperiorOp));
    EXPECT_EQ(d.text(kSuperiorOp), "Disable Superior Oper");
    EXPECT_EQ(d.control(kOutputList).rect, (ui::Rect{28, 35, full.width, 386}));  // 580 * 2 / 3

    ASSERT_TRUE(d.click(kSuperiorOp));  // locks without asking
    EXPECT_EQ(host.modalIds, (std::vector<int>{132, 132}));
    EXPECT_EQ(d.control(kOutputList).rect, (ui::Rect{28, 35, full.width, 580}));
    EXPECT_TRUE(host.messages.empty());
}

}  // namespace
}  // namespace pemblor::tools
