#pragma once
// The desktop Host: Qt message boxes and file dialogs, modal runs of dialog
// views in nested event loops, Qt timers, plain sleeps and the system clock.
#include <QObject>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "ui/host.hpp"

class QFileDialog;
class QTimer;

namespace pemblor::gui {

class DialogView;

class QtHost : public ui::Host {
public:
    explicit QtHost(std::filesystem::path root);
    ~QtHost() override;
    QtHost(const QtHost&) = delete;
    QtHost& operator=(const QtHost&) = delete;

    void messageBox(ui::Dialog* owner, std::string_view text) override;
    std::optional<std::filesystem::path> openFile(const ui::FileRequest& request) override;
    std::optional<std::filesystem::path> saveFile(const ui::FileRequest& request) override;
    int runModal(ui::Dialog& dialog) override;
    void setTimer(ui::Dialog& dialog, int timerId, int periodMs) override;
    void killTimer(ui::Dialog& dialog, int timerId) override;
    // On the user-interface thread the windows keep painting meanwhile; user
    // input, timers and posted work wait until the handler is done.
    void sleep(int ms) override;
    ui::LocalTime now() override;
    const std::filesystem::path& root() const override { return root_; }
    void post(std::function<void()> fn) override;

    // Called with every new view before it is shown (window menu entries,
    // tests that drive the view).
    using ViewHook = std::function<void(DialogView&)>;
    void addViewHook(ViewHook hook) { viewHooks_.push_back(std::move(hook)); }
    // The open view of a dialog, or null.
    DialogView* viewOf(const ui::Dialog& dialog) const;
    // The top-most open view, or null.
    DialogView* topView() const { return views_.empty() ? nullptr : views_.back(); }
    bool timerActive(const ui::Dialog& dialog, int timerId) const;
    // A folder the file dialogs list among their places (the sample program's).
    void addPlace(std::filesystem::path folder) { places_.push_back(std::move(folder)); }

private:
    // What a sleeping handler holds back: timer ticks (one per timer: a tick
    // that is due is due once) and posted work, in order. Posted work is
    // shared with its queued calls, which need no host.
    struct HeldBack {
        int sleeping = 0;
        std::set<std::pair<ui::Dialog*, int>> ticks;
        std::deque<std::function<void()>> posted;
        // Runs the posted work while no handler sleeps.
        void runPosted();
    };
    void timerFired(ui::Dialog& dialog, int timerId);
    // Runs what was held back, once no handler sleeps any more.
    void release();

    std::optional<std::filesystem::path> runFileDialog(QFileDialog& box, const ui::FileRequest& request);
    void killTimers(const ui::Dialog& dialog);
    void retire(std::unique_ptr<QTimer> timer);

    std::filesystem::path root_;
    std::vector<std::filesystem::path> places_;
    std::vector<DialogView*> views_;  // open views, innermost last
    std::vector<ViewHook> viewHooks_;
    std::map<std::pair<const ui::Dialog*, int>, std::unique_ptr<QTimer>> timers_;
    std::vector<std::unique_ptr<QTimer>> retired_;  // killed, deleted when no handler can run
    std::shared_ptr<HeldBack> held_ = std::make_shared<HeldBack>();
    std::unique_ptr<QObject> context_;  // queued calls that need the host die with it
};

}  // namespace pemblor::gui
