#pragma once
// Everything the platform gives the console: message boxes, file dialogs,
// modal runs, timers, sleeps, the clock, the data root and a way for other
// threads to hand work to the user-interface thread. The Qt host, the
// script host and the tests' fake host implement it.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pemblor::ui {

class Dialog;

struct LocalTime {
    int year = 2000;
    int month = 1;         // 1..12
    int day = 1;           // 1..31
    int hour = 0;          // 0..23
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int dayOfWeek = 6;     // 0 = Sunday
};

struct FileRequest {
    // Filter in the console's notation: "CMD Files(*.cmd)|*.cmd|All Files(*.*)|*.*||".
    std::string filter;
    std::string defaultExtension;  // without the dot, e.g. "cmd"
    std::string initialName;
};

class Host {
public:
    virtual ~Host() = default;

    // A modal message box with an OK button; owner may be null.
    virtual void messageBox(Dialog* owner, std::string_view text) = 0;
    virtual std::optional<std::filesystem::path> openFile(const FileRequest& request) = 0;
    // Asks before overwriting an existing file.
    virtual std::optional<std::filesystem::path> saveFile(const FileRequest& request) = 0;
    // Shows the dialog and returns when it has ended, with its result.
    virtual int runModal(Dialog& dialog) = 0;
    virtual void setTimer(Dialog& dialog, int timerId, int periodMs) = 0;
    virtual void killTimer(Dialog& dialog, int timerId) = 0;
    // Blocks the calling thread; on the user-interface thread no handler, timer or
    // posted work runs meanwhile (a desktop window may still repaint).
    virtual void sleep(int ms) = 0;
    virtual LocalTime now() = 0;
    // The folder that stands for drive C:.
    virtual const std::filesystem::path& root() const = 0;
    // Runs fn later on the user-interface thread; callable from any thread.
    // This is how a worker reports to the operator. Posted functions that
    // have not run when the program ends are dropped.
    virtual void post(std::function<void()> fn) = 0;
};

// The local time of the system clock.
LocalTime systemLocalTime();

}  // namespace pemblor::ui
