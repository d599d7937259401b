#pragma once
// The headless Host: runs the console's dialogs from a script, one command a
// line, and reports what an operator would see as one event a line.
//
//   select <control> <index>|"<item text>"   settext <control> "<text>"
//   click <control>                           answer file "<path>" | answer cancel
//   wait <ms>                                 print <control>|list|labels
//   state <control>                           frames <control>
//   snapshot <control> "<path.png>"
//
// A control is an id or a caption in double quotes, looked up in the top-most
// open dialog. A handler that runs a modal dialog waits while the script
// drives that dialog. Timers fire in real time during `wait`. The host's
// frame store is the video windows' renderer: `frames` and `snapshot` look at
// what was drawn on a video area.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <functional>
#include <istream>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "headless/frame_store.hpp"
#include "headless/script_line.hpp"
#include "ui/dialog.hpp"
#include "ui/host.hpp"

namespace pemblor::headless {

class ScriptHost : public ui::Host {
public:
    ScriptHost(std::istream& script, std::ostream& out, std::ostream& err, std::filesystem::path root);

    // 0 when the script ran to its end, 2 after a script error.
    int exitCode() const { return failed_ ? 2 : 0; }

    // Reads the whole script and checks every line's form (quotes, commands,
    // arguments and their ranges) before any of it runs. False, with the
    // error said, when the script is refused: then nothing of it runs.
    // Without it, lines are read and checked one by one as they come.
    bool load();
    // Errors read "<prefix><line>: <reason>"; "ERROR " unless set.
    void setErrorPrefix(std::string prefix) { errorPrefix_ = std::move(prefix); }

    // Asks every running script to stop as if it had ended (open dialogs are
    // cancelled, so whatever runs is stopped cleanly). Async-signal-safe.
    static void requestStop();
    static bool stopRequested();

    void messageBox(ui::Dialog* owner, std::string_view text) override;
    std::optional<std::filesystem::path> openFile(const ui::FileRequest& request) override;
    std::optional<std::filesystem::path> saveFile(const ui::FileRequest& request) override;
    int runModal(ui::Dialog& dialog) override;
    void setTimer(ui::Dialog& dialog, int timerId, int periodMs) override;
    void killTimer(ui::Dialog& dialog, int timerId) override;
    void sleep(int ms) override;
    ui::LocalTime now() override;
    const std::filesystem::path& root() const override { return root_; }
    // Runs between script lines and while the script waits.
    void post(std::function<void()> fn) override;

    // What the console draws its video with, here: pictures kept in memory.
    video::Renderer& renderer() { return frameStore_; }

private:
    using Clock = std::chrono::steady_clock;
    struct Timer {
        ui::Dialog* dialog;
        int id;
        std::chrono::milliseconds period;
        Clock::time_point due;
    };

    // Runs script lines until the dialog ends, the script ends or fails.
    void drive(ui::Dialog& dialog);
    void execute(const std::vector<Word>& words);
    // One line of at most 64 KiB; false at the end or when it is too long.
    bool readLine(std::string& line);
    // The line's words, or nothing (the error said) when its form is wrong.
    std::optional<std::vector<Word>> checkedWords(const std::string& line);
    // The next line with a command, from the loaded script or the stream.
    std::optional<std::vector<Word>> nextCommand();
    std::optional<int> resolveControl(const Word& w);
    void fail(const std::string& reason);
    void wait(std::chrono::milliseconds ms);
    // Sleeps until t, waking early when a stop is requested.
    void sleepUntil(Clock::time_point t);
    void emit(const std::string& event);
    // Runs what other threads posted, in order (user-interface thread).
    void runPosted();
    std::optional<std::filesystem::path> nextFileAnswer();
    ui::Dialog& top() { return *stack_.back(); }

    void cmdSelect(const std::vector<Word>& w);
    void cmdSetText(const std::vector<Word>& w);
    void cmdClick(const std::vector<Word>& w);
    void cmdAnswer(const std::vector<Word>& w);
    void cmdWait(const std::vector<Word>& w);
    void cmdPrint(const std::vector<Word>& w);
    void cmdState(const std::vector<Word>& w);
    void cmdFrames(const std::vector<Word>& w);
    void cmdSnapshot(const std::vector<Word>& w);
    // A control of the top-most dialog that shows video; fails the script otherwise.
    std::optional<int> resolveVideoArea(const Word& w);

    std::istream& script_;
    std::ostream& out_;
    std::ostream& err_;
    std::filesystem::path root_;
    int lineNumber_ = 0;
    // The script's lines that hold a command: where in text_, and their number.
    struct Line {
        std::size_t begin;
        std::size_t size;
        int number;
    };
    std::string text_;
    std::vector<Line> lines_;
    std::size_t next_ = 0;
    bool loaded_ = false;
    std::string errorPrefix_ = "ERROR ";
    bool eof_ = false;
    bool failed_ = false;
    std::vector<ui::Dialog*> stack_;
    std::vector<Timer> timers_;
    std::deque<std::optional<std::filesystem::path>> fileAnswers_;
    std::mutex postMutex_;
    std::condition_variable postWake_;
    std::deque<std::function<void()>> posted_;
    FrameStore frameStore_;
};

}  // namespace pemblor::headless
