#include "headless/script_host.hpp"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <thread>

#include "resources/console_ids.hpp"
#include "resources/dialogs.hpp"

namespace pemblor::headless {

namespace {

std::optional<long> parseNumber(const std::string& s) {
    long v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc{} || end != s.data() + s.size()) return std::nullopt;
    return v;
}

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

void ScriptHost::drive(ui::Dialog& dialog) {
    std::string line;
    while (!dialog.ended() && !eof_ && !failed_) {
        runPosted();
        if (dialog.ended()) break;
        if (stopRequested() || !std::getline(script_, line) || stopRequested()) {
            eof_ = true;
            break;
        }
        ++lineNumber_;
        std::string error;
        const auto words = splitScriptLine(line, error);
        if (!words) {
            fail(error);
            break;
        }
        if (!words->empty()) execute(*words);
    }
}

void ScriptHost::fail(const std::string& reason) {
    if (failed_) return;
    failed_ = true;
    err_ << "ERROR " << lineNumber_ << ": " << reason << '\n' << std::flush;
}

void ScriptHost::execute(const std::vector<Word>& w) {
    const std::string& cmd = w[0].text;
    if (w[0].quoted) return fail("a command cannot be quoted");
    if (cmd == "select") return cmdSelect(w);
    if (cmd == "settext") return cmdSetText(w);
    if (cmd == "click") return cmdClick(w);
    if (cmd == "answer") return cmdAnswer(w);
    if (cmd == "wait") return cmdWait(w);
    if (cmd == "print") return cmdPrint(w);
    if (cmd == "state") return cmdState(w);
    if (cmd == "frames") return cmdFrames(w);
    if (cmd == "snapshot") return cmdSnapshot(w);
    fail("unknown command '" + cmd + "'");
}

std::optional<int> ScriptHost::resolveControl(const Word& w) {
    const ui::Dialog& d = top();
    if (!w.quoted) {
        const auto id = parseNumber(w.text);
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
    if (w.size() != 3) return fail("usage: select <control> <index>|\"<item text>\"");
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
    if (w.size() != 3 || !w[2].quoted) return fail("usage: settext <control> \"<text>\"");
    const auto id = resolveControl(w[1]);
    if (!id) return;
    ui::Dialog& d = top();
    const ui::Control& c = d.control(*id);
    if (!c.enabled || !c.visible) return emit("IGNORED " + std::to_string(*id));
    d.userSetText(*id, w[2].text);
}

void ScriptHost::cmdClick(const std::vector<Word>& w) {
    if (w.size() != 2) return fail("usage: click <control>");
    const auto id = resolveControl(w[1]);
    if (!id) return;
    if (!top().click(*id)) emit("IGNORED " + std::to_string(*id));
}

void ScriptHost::cmdAnswer(const std::vector<Word>& w) {
    if (w.size() == 3 && !w[1].quoted && w[1].text == "file" && w[2].quoted) {
        fileAnswers_.emplace_back(std::filesystem::path(w[2].text));
    } else if (w.size() == 2 && !w[1].quoted && w[1].text == "cancel") {
        fileAnswers_.emplace_back(std::nullopt);
    } else {
        fail("usage: answer file \"<path>\" | answer cancel");
    }
}

void ScriptHost::cmdWait(const std::vector<Word>& w) {
    const auto ms = w.size() == 2 && !w[1].quoted ? parseNumber(w[1].text) : std::nullopt;
    if (!ms || *ms < 0) return fail("usage: wait <ms>");
    wait(std::chrono::milliseconds(*ms));
}

void ScriptHost::cmdPrint(const std::vector<Word>& w) {
    if (w.size() != 2) return fail("usage: print <control>|list|labels");
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
    if (w.size() != 2) return fail("usage: state <control>");
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
    if (w.size() != 2) return fail("usage: frames <control>");
    const auto id = resolveVideoArea(w[1]);
    if (!id) return;
    const FrameStore::Frames f = frameStore_.frames(top(), *id);
    emit("FRAMES " + std::to_string(*id) + " " + std::to_string(f.drawn) + " " + std::to_string(f.width) + "x" +
         std::to_string(f.height));
}

void ScriptHost::cmdSnapshot(const std::vector<Word>& w) {
    if (w.size() != 3 || !w[2].quoted) return fail("usage: snapshot <control> \"<path.png>\"");
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
