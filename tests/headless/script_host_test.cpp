// The script host on a small dialog of its own: nested modal runs, file
// answers, timers and message boxes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "headless/script_host.hpp"
#include "support/console_script.hpp"

namespace pemblor::headless {
namespace {

using ::testing::ElementsAre;

ui::DialogTemplate outer() {
    ui::DialogTemplate d;
    d.id = 102;  // the host reports list lines of the console window
    ui::ControlTemplate list;
    list.id = 1003;
    list.kind = ui::ControlKind::ListBox;
    d.controls.push_back(list);
    for (int id : {10, 11, 12, 13, 14}) {
        ui::ControlTemplate b;
        b.id = id;
        b.kind = ui::ControlKind::Button;
        b.caption = "Button " + std::to_string(id);
        d.controls.push_back(b);
    }
    return d;
}

ui::DialogTemplate inner() {
    ui::DialogTemplate d;
    d.id = 130;
    ui::ControlTemplate label;
    label.id = 5;
    label.kind = ui::ControlKind::Label;
    label.caption = "inner";
    d.controls.push_back(label);
    return d;
}

struct Fixture {
    ui::DialogTemplate outerT = outer();
    ui::DialogTemplate innerT = inner();
    std::istringstream in;
    std::ostringstream out, err;
    ScriptHost host;
    ui::Dialog dialog{outerT};
    ui::Dialog nested{innerT};
    int ticks = 0;

    explicit Fixture(const std::string& script)
        : in(script), host(in, out, err, std::filesystem::temp_directory_path()) {
        dialog.onClick(10, [this] {
            const int r = host.runModal(nested);
            dialog.addItem(1003, "nested ended " + std::to_string(r));
        });
        dialog.onClick(11, [this] {
            const auto path = host.openFile({"All Files(*.*)|*.*||", "", ""});
            dialog.addItem(1003, path ? "file " + path->string() : "no file");
        });
        dialog.onClick(12, [this] { host.setTimer(dialog, 1, 200); });
        dialog.onTimer([this](int id) {
            ++ticks;
            if (id == 1 && ticks == 1) host.messageBox(&dialog, "tick\tone");
        });
        dialog.onClick(13, [this] { host.killTimer(dialog, 1); });
    }
    std::vector<std::string> run() {
        host.runModal(dialog);
        return testing::splitLines(out.str());
    }
};

TEST(ScriptHost, NestedModalDialogsAreDrivenByTheFollowingLines) {
    Fixture f("click 10\nprint labels\nclick 1\nclick \"Button 10\"\n");
    EXPECT_THAT(f.run(), ElementsAre("OPEN 102", "OPEN 130", "TEXT 5 inner", "CLOSE 130 1", "LINE nested ended 1",
                                     "OPEN 130", "CLOSE 130 2", "LINE nested ended 2", "CLOSE 102 2"));
    EXPECT_EQ(f.host.exitCode(), 0);
}

TEST(ScriptHost, FileDialogsTakeQueuedAnswersInOrder) {
    Fixture f("answer file \"/tmp/a b.cmd\"\nanswer cancel\nclick 11\nclick 11\nclick 11\n");
    EXPECT_THAT(f.run(), ElementsAre("OPEN 102", "LINE file /tmp/a b.cmd", "LINE no file", "LINE no file",
                                     "CLOSE 102 2"));
}

TEST(ScriptHost, TimersFireOnlyWhileWaiting) {
    Fixture f("click 12\nwait 1050\nclick 13\nwait 450\n");
    const auto lines = f.run();
    // 200 ms period over 1050 ms: five ticks when the machine keeps up, never more.
    EXPECT_GE(f.ticks, 3);
    EXPECT_LE(f.ticks, 5);
    EXPECT_THAT(lines, ElementsAre("OPEN 102", "MSG tick\\tone", "CLOSE 102 2"));
}

// Work posted from another thread runs on the script's thread, in order,
// while the script waits; none of it runs inside a plain sleep of a handler.
TEST(ScriptHost, PostedWorkRunsWhileTheScriptWaits) {
    Fixture f("click 14\nwait 400\n");
    std::thread::id uiThread;
    std::vector<int> order;
    f.dialog.onClick(14, [&] {
        uiThread = std::this_thread::get_id();
        std::thread worker([&] {
            for (int i = 0; i < 3; ++i) f.host.post([&, i] {
                EXPECT_EQ(std::this_thread::get_id(), uiThread);
                order.push_back(i);
                f.dialog.addItem(1003, "posted " + std::to_string(i));
            });
        });
        worker.join();
        f.host.sleep(20);
        EXPECT_TRUE(order.empty());
    });
    EXPECT_THAT(f.run(), ElementsAre("OPEN 102", "LINE posted 0", "LINE posted 1", "LINE posted 2", "CLOSE 102 2"));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST(ScriptHost, ErrorInsideANestedDialogUnwindsEverything) {
    Fixture f("click 10\nclick 4242\nclick 1\n");
    EXPECT_THAT(f.run(), ElementsAre("OPEN 102", "OPEN 130", "CLOSE 130 2", "LINE nested ended 2", "CLOSE 102 2"));
    EXPECT_EQ(f.host.exitCode(), 2);
    EXPECT_EQ(f.err.str(), "ERROR 2: no control '4242' in dialog 130\n");
}

}  // namespace
}  // namespace pemblor::headless
