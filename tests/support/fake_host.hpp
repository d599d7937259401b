#pragma once
// A scripted Host for unit tests: records message boxes, answers file dialogs
// from a queue, runs modal dialogs through a callback, and keeps a manual clock.
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ui/dialog.hpp"
#include "ui/host.hpp"

namespace pemblor::testing {

class FakeHost : public ui::Host {
public:
    explicit FakeHost(std::filesystem::path root = std::filesystem::temp_directory_path())
        : root_(std::move(root)) {}

    std::vector<std::string> messages;
    std::deque<std::optional<std::filesystem::path>> fileAnswers;  // next file dialog answers
    std::vector<ui::FileRequest> fileRequests;
    // Drives a modal dialog; by default the dialog is cancelled at once.
    std::function<void(ui::Dialog&)> onModal = [](ui::Dialog& d) { d.cancel(); };
    std::vector<int> modalIds;
    std::map<int, int> timers;  // id -> period while set
    long long sleptMs = 0;
    ui::LocalTime clock{2026, 12, 8, 10, 30, 0, 0, 2};

    void messageBox(ui::Dialog*, std::string_view text) override { messages.emplace_back(text); }
    std::optional<std::filesystem::path> openFile(const ui::FileRequest& r) override { return nextFile(r); }
    std::optional<std::filesystem::path> saveFile(const ui::FileRequest& r) override { return nextFile(r); }
    int runModal(ui::Dialog& d) override {
        modalIds.push_back(d.id());
        d.reopen();
        onModal(d);
        if (!d.ended()) d.cancel();
        return d.result();
    }
    void setTimer(ui::Dialog&, int id, int ms) override { timers[id] = ms; }
    void killTimer(ui::Dialog&, int id) override { timers.erase(id); }
    void sleep(int ms) override { sleptMs += ms; }
    ui::LocalTime now() override { return clock; }
    const std::filesystem::path& root() const override { return root_; }
    // Kept until the test runs them with runPosted(), as an event loop would.
    void post(std::function<void()> fn) override {
        std::lock_guard lock(postMutex_);
        posted_.push_back(std::move(fn));
    }
    // Runs what was posted so far (and what those post in turn); returns how many ran.
    int runPosted() {
        int n = 0;
        for (;;) {
            std::function<void()> fn;
            {
                std::lock_guard lock(postMutex_);
                if (posted_.empty()) return n;
                fn = std::move(posted_.front());
                posted_.pop_front();
            }
            fn();
            ++n;
        }
    }

private:
    std::optional<std::filesystem::path> nextFile(const ui::FileRequest& r) {
        fileRequests.push_back(r);
        if (fileAnswers.empty()) return std::nullopt;
        auto a = fileAnswers.front();
        fileAnswers.pop_front();
        return a;
    }
    std::filesystem::path root_;
    std::mutex postMutex_;
    std::deque<std::function<void()>> posted_;
};

}  // namespace pemblor::testing
