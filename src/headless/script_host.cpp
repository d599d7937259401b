#include "headless/script_host.hpp"

#include <algorithm>
#include <atomic>
#include <thread>

#include "common/input_file.hpp"
#include "resources/console_ids.hpp"
#include "resources/dialogs.hpp"

namespace pemblor::headless {

namespace {

// Far beyond a hand-written or generated script; a longer one is a mistake
// (a video named by accident, /dev/zero), not a script.
constexpr std::size_t kMaxScriptBytes = 4u << 20;
// Control ids are 16-bit words.
constexpr long kMaxControlId = 0xFFFF;

std::optional<long> parseNumber(const std::string& s) { return parseScriptNumber(s); }

bool isLabel(const ui::Control& c) { return c.kind == ui::ControlKind::Label && c.id != ui::kNoId; }

std::atomic<bool> gStop{false};
static_assert(std::atomic<bool>::is_always_lock_free);

}  // namespace

void ScriptHost::requestStop() { gStop.store(true, std::memory_order_relaxed); }

bool ScriptHost::stopRequested() { return gStop.load(std::memory_order_relaxed); }

ScriptHost::ScriptHost(std::istream& script, std::ostream& out, std::ostream& err, std::filesystem::path root)
    : script_(script), out_(out), err_(err), root_(std::move(root)) {}

void ScriptHost::emit(const std::string& event) { out_ << event << '\n' << std::flush; }

void ScriptHost::messageBox(ui::Dialog*, std::string_view text) { emit("MSG " + escapeOutput(text)); }

std::optional<std::filesystem::path> ScriptHost::nextFileAnswer() {
    if (fileAnswers_.empty()) return std::nullopt;
    auto answer = fileAnswers_.front();
    fileAnswers_.pop_front();
    return answer;
}

namespace {

// A name given without an extension gets the dialog's default one, as a file
// dialog gives it: always when saving, when no such file exists when opening.
std::optional<std::filesystem::path> withDefaultExtension(std::optional<std::filesystem::path> answer,
                                                          const ui::FileRequest& request, bool opening) {
    if (!answer || answer->has_extension() || request.defaultExtension.empty()) return answer;
    std::error_code ec;
    if (opening && std::filesystem::exists(*answer, ec)) return answer;
    answer->replace_extension(request.defaultExtension);
    return answer;
}

}  // namespace

std::optional<std::filesystem::path> ScriptHost::openFile(const ui::FileRequest& request) {
    return withDefaultExtension(nextFileAnswer(), request, true);
}

std::optional<std::filesystem::path> ScriptHost::saveFile(const ui::FileRequest& request) {
    return withDefaultExtension(nextFileAnswer(), request, false);
}

int ScriptHost::runModal(ui::Dialog& dialog) {
    dialog.reopen();
    // A window object may take the place of one that closed: its areas start empty.
    frameStore_.forget(dialog);
    emit("OPEN " + std::to_string(dialog.id()));
    const int token = dialog.subscribe([this, &dialog](const ui::Change& c) {
        if (dialog.id() != resources::kConsoleDialogId || c.id != resources::console::kOutputList) return;
        if (c.kind == ui::ChangeKind::ItemInserted) {
            emit("LINE " + escapeOutput(dialog.item(c.id, static_cast<std::size_t>(c.index))));
        } else if (c.kind == ui::ChangeKind::ItemsCleared) {
            emit("CLEAR");
        }
    });
    stack_.push_back(&dialog);
    drive(dialog);
    // The script ended (or failed) with the dialog still open: close it as Esc would.
    if (!dialog.ended()) runPosted();
    if (!dialog.ended()) dialog.cancel();
    stack_.pop_back();
    std::erase_if(timers_, [&dialog](const Timer& t) { return t.dialog == &dialog; });
    dialog.unsubscribe(token);
    frameStore_.forget(dialog);
    emit("CLOSE " + std::to_string(dialog.id()) + " " + std::to_string(dialog.result()));
    return dialog.result();
}

bool ScriptHost::readLine(std::string& line) {
    switch (common::readBoundedLine(script_, line)) {
        case common::LineRead::kLine: return true;
        case common::LineRead::kEnd: return false;
        case common::LineRead::kTooLong:
            fail("the line is longer than " + std::to_string(common::kMaxTextLine) + " bytes");
            return false;
    }
    return false;
}

std::optional<std::vector<Word>> ScriptHost::checkedWords(const std::string& line) {
    std::string error;
    auto words = splitScriptLine(line, error);
    if (words && !words->empty()) error = scriptLineError(*words);
    if (!error.empty()) {
        fail(error);
        return std::nullopt;
    }
    return words;
}

bool ScriptHost::load() {
    if (loaded_) return !failed_;
    loaded_ = true;
    std::string line;
    for (lineNumber_ = 1; readLine(line); ++lineNumber_) {
        // A stop while the script is read runs none of it.
        if (stopRequested()) {
            lines_.clear();
            return true;
        }
        if (text_.size() + line.size() > kMaxScriptBytes) {
            fail("the script is longer than " + std::to_string(kMaxScriptBytes) + " bytes");
            return false;
        }
        const auto words = checkedWords(line);
        if (!words) return false;
        if (words->empty()) continue;
        lines_.push_back({text_.size(), line.size(), lineNumber_});
        text_ += line;
    }
    return !failed_;
}

std::optional<std::vector<Word>> ScriptHost::nextCommand() {
    std::string line;
    if (loaded_) {
        if (next_ == lines_.size()) return std::nullopt;
        const Line& l = lines_[next_++];
        lineNumber_ = l.number;
        std::string error;  // every line was split when the script was loaded
        return splitScriptLine(std::string_view(text_).substr(l.begin, l.size), error);
    }
    // Not loaded: lines are read and checked one by one as the console runs,
    // for a script that is still being written (a test that waits for events).
    for (;;) {
        ++lineNumber_;
        if (!readLine(line) || stopRequested()) return std::nullopt;
        auto words = checkedWords(line);
        if (!words || !words->empty()) return words;
    }
}

void ScriptHost::drive(ui::Dialog& dialog) {
    while (!dialog.ended() && !eof_ && !failed_) {
        runPosted();
        if (dialog.ended()) break;
        const auto words = stopRequested() ? std::nullopt : nextCommand();
        if (!words) {
            eof_ = !failed_;
            break;
        }
        execute(*words);
    }
}

void ScriptHost::fail(const std::string& reason) {
    if (failed_) return;
    failed_ = true;
    err_ << errorPrefix_ << lineNumber_ << ": " << common::shownText(reason) << '\n' << std::flush;
}

void ScriptHost::execute(const std::vector<Word>& w) {
    // The line's form was checked when the script was loaded.
    const std::string& cmd = w[0].text;
    if (cmd == "select") return cmdSelect(w);
    if (cmd == "settext") return cmdSetText(w);
    if (cmd == "click") return cmdClick(w);
    if (cmd == "answer") return cmdAnswer(w);
    if (cmd == "wait") return cmdWait(w);
    if (cmd == "print") return cmdPrint(w);
    if (cmd == "state") return cmdState(w);
    if (cmd == "frames") return cmdFrames(w);
    if (cmd == "snapshot") return cmdSnapshot(w);
}

std::optional<int> ScriptHost::resolveControl(const Word& w) {
    const ui::Dialog& d = top();
    if (!w.quoted) {
        // An id is a 16-bit word: a larger number names no control (never wraps onto one).
        auto id = parseNumber(w.text);
        if (id && (*id < 0 || *id > kMaxControlId)) id.reset();
        if (id && d.has(static_cast<int>(*id))) return static_cast<int>(*id);
        // Buttons 1 and 2 exist in every dialog as OK and Cancel.
        if (id && (*id == ui::kIdOk || *id == ui::kIdCancel)) return static_cast<int>(*id);
        fail("no control '" + w.text + "' in dialog " + std::to_string(d.id()));
        return std::nullopt;
    }
    for (const ui::Control& c : d.controls()) {
        if (c.id != ui::kNoId && c.text == w.text && !c.hasItems() && c.kind != ui::ControlKind::Edit &&
            c.kind != ui::ControlKind::MultiLineEdit) {
            return c.id;
        }
    }
    fail("no control \"" + escapeOutput(w.text) + "\" in dialog " + std::to_string(d.id()));
    return std::nullopt;
}

void ScriptHost::cmdSelect(const std::vector<Word>& w) {
    const auto id = resolveControl(w[1]);
    if (!id) return;
    ui::Dialog& d = top();
    const ui::Control& c = d.control(*id);
    if (!c.hasItems()) return fail("control " + std::to_string(*id) + " has no items");
    int index = -1;
    if (w[2].quoted) {
        index = c.items.find(w[2].text);
        if (index < 0) return fail("no item \"" + escapeOutput(w[2].text) + "\" in control " + std::to_string(*id));
    } else {
        const auto n = parseNumber(w[2].text);
        if (!n || *n < 0 || *n >= static_cast<long>(c.items.size())) return fail("bad item index '" + w[2].text + "'");
        index = static_cast<int>(*n);
    }
    if (!c.enabled || !c.visible) return emit("IGNORED " + std::to_string(*id));
    d.select(*id, index);
}

void ScriptHost::cmdSetText(const std::vector<Word>& w) {
    const auto id = resolveControl(w[1]);
    if (!id) return;
    ui::Dialog& d = top();
    const ui::Control& c = d.control(*id);
    if (!c.enabled || !c.visible) return emit("IGNORED " + std::to_string(*id));
    d.userSetText(*id, w[2].text);
}

void ScriptHost::cmdClick(const std::vector<Word>& w) {
    const auto id = resolveControl(w[1]);
    if (!id) return;
    if (!top().click(*id)) emit("IGNORED " + std::to_string(*id));
}

void ScriptHost::cmdAnswer(const std::vector<Word>& w) {
    if (w.size() == 3) {
        fileAnswers_.emplace_back(std::filesystem::path(w[2].text));
    } else {
        fileAnswers_.emplace_back(std::nullopt);
    }
}

void ScriptHost::cmdWait(const std::vector<Word>& w) {
    wait(std::chrono::milliseconds(*parseNumber(w[1].text)));
}

void ScriptHost::cmdPrint(const std::vector<Word>& w) {
    if (!w[1].quoted && w[1].text == "list") {
        const ui::Dialog& console = *stack_.front();
        if (!console.has(resources::console::kOutputList)) return fail("no output list");
        const std::size_t n = console.itemCount(resources::console::kOutputList);
        for (std::size_t i = 0; i < n; ++i) {
            emit("ITEM " + escapeOutput(console.item(resources::console::kOutputList, i)));
        }
        return;
    }
    if (!w[1].quoted && w[1].text == "labels") {
        std::vector<const ui::Control*> labels;
        for (const ui::Control& c : top().controls()) {
            if (isLabel(c)) labels.push_back(&c);
        }
        std::stable_sort(labels.begin(), labels.end(), [](auto* a, auto* b) { return a->id < b->id; });
        for (const ui::Control* c : labels) emit("TEXT " + std::to_string(c->id) + " " + escapeOutput(c->text));
        return;
    }
    const auto id = resolveControl(w[1]);
    if (!id) return;
    emit("TEXT " + std::to_string(*id) + " " + escapeOutput(top().text(*id)));
}

void ScriptHost::cmdState(const std::vector<Word>& w) {
    const auto id = resolveControl(w[1]);
    if (!id) return;
    const ui::Control& c = top().control(*id);
    emit("STATE " + std::to_string(*id) + " enabled=" + (c.enabled ? "1" : "0") + " visible=" +
         (c.visible ? "1" : "0") + " checked=" + (c.checked ? "1" : "0") + " selection=" +
         std::to_string(c.selection) + " items=" + std::to_string(c.items.size()));
}

std::optional<int> ScriptHost::resolveVideoArea(const Word& w) {
    const auto id = resolveControl(w);
    if (!id) return std::nullopt;
    if (!top().has(*id) || top().control(*id).kind != ui::ControlKind::VideoArea) {
        fail("control " + std::to_string(*id) + " is not a video area");
        return std::nullopt;
    }
    return id;
}

void ScriptHost::cmdFrames(const std::vector<Word>& w) {
    const auto id = resolveVideoArea(w[1]);
    if (!id) return;
    const FrameStore::Frames f = frameStore_.frames(top(), *id);
    emit("FRAMES " + std::to_string(*id) + " " + std::to_string(f.drawn) + " " + std::to_string(f.width) + "x" +
         std::to_string(f.height));
}

void ScriptHost::cmdSnapshot(const std::vector<Word>& w) {
    const auto id = resolveVideoArea(w[1]);
    if (!id) return;
    std::string error;
    if (!frameStore_.snapshot(top(), *id, std::filesystem::path(w[2].text), error)) {
        fail("snapshot of control " + std::to_string(*id) + ": " + error);
    }
}

void ScriptHost::setTimer(ui::Dialog& dialog, int timerId, int periodMs) {
    const auto period = std::chrono::milliseconds(std::max(periodMs, 1));
    for (Timer& t : timers_) {
        if (t.dialog == &dialog && t.id == timerId) {
            t.period = period;
            t.due = Clock::now() + period;
            return;
        }
    }
    timers_.push_back({&dialog, timerId, period, Clock::now() + period});
}

void ScriptHost::killTimer(ui::Dialog& dialog, int timerId) {
    std::erase_if(timers_, [&](const Timer& t) { return t.dialog == &dialog && t.id == timerId; });
}

void ScriptHost::wait(std::chrono::milliseconds ms) {
    const auto deadline = Clock::now() + ms;
    while (!failed_ && !stopRequested()) {
        auto next = timers_.end();
        for (auto it = timers_.begin(); it != timers_.end(); ++it) {
            if (next == timers_.end() || it->due < next->due) next = it;
        }
        if (next == timers_.end() || next->due > deadline) break;
        sleepUntil(next->due);
        if (stopRequested()) return;
        // A late timer fires once, as a coalesced timer message would.
        next->due = std::max(next->due + next->period, Clock::now());
        ui::Dialog* dialog = next->dialog;
        const int id = next->id;
        dialog->timer(id);
    }
    sleepUntil(deadline);
}

void ScriptHost::sleepUntil(Clock::time_point t) {
    // Short slices, so that a stop request is seen soon; a post wakes at once.
    constexpr auto kSlice = std::chrono::milliseconds(50);
    while (!stopRequested()) {
        runPosted();
        const auto now = Clock::now();
        if (now >= t) return;
        std::unique_lock lock(postMutex_);
        postWake_.wait_for(lock, std::min<Clock::duration>(t - now, kSlice), [this] { return !posted_.empty(); });
    }
}

void ScriptHost::post(std::function<void()> fn) {
    {
        std::lock_guard lock(postMutex_);
        posted_.push_back(std::move(fn));
    }
    postWake_.notify_one();
}

void ScriptHost::runPosted() {
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard lock(postMutex_);
            if (posted_.empty()) return;
            fn = std::move(posted_.front());
            posted_.pop_front();
        }
        fn();
    }
}

void ScriptHost::sleep(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

ui::LocalTime ScriptHost::now() { return ui::systemLocalTime(); }

}  // namespace pemblor::headless
