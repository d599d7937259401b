#include "gui/qt_host.hpp"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <chrono>
#include <thread>

#include "gui/busy_cursor.hpp"
#include "gui/dialog_view.hpp"
#include "gui/file_filter.hpp"
#include "gui/qt_text.hpp"

namespace pemblor::gui {

QtHost::QtHost(std::filesystem::path root) : root_(std::move(root)), context_(std::make_unique<QObject>()) {}

QtHost::~QtHost() = default;

DialogView* QtHost::viewOf(const ui::Dialog& dialog) const {
    for (DialogView* v : views_) {
        if (&v->dialog() == &dialog) return v;
    }
    return nullptr;
}

void QtHost::messageBox(ui::Dialog* owner, std::string_view text) {
    QWidget* parent = owner ? viewOf(*owner) : nullptr;
    if (!parent) parent = topView();
    // No caption of its own: the window system shows the application's name.
    QMessageBox box(QMessageBox::NoIcon, QString(), toQt(text), QMessageBox::Ok, parent);
    box.setObjectName(QStringLiteral("messageBox"));
    const BusyCursor::Lifted answering;
    box.exec();
}

std::optional<std::filesystem::path> QtHost::runFileDialog(QFileDialog& box, const ui::FileRequest& request) {
    box.setOption(QFileDialog::DontUseNativeDialog);
    // The patterns spell out both cases of every letter; the names say enough.
    box.setOption(QFileDialog::HideNameFilterDetails);
    box.setNameFilters(qtNameFilters(request.filter));
    box.setDefaultSuffix(toQt(request.defaultExtension));
    box.setDirectory(toQt(root_.string()));
    QList<QUrl> places = box.sidebarUrls();
    for (const std::filesystem::path& p : places_) places.append(QUrl::fromLocalFile(toQt(p.string())));
    box.setSidebarUrls(places);
    // An initial name such as "*.cmd" is a pattern, which the filter already applies.
    const bool pattern = request.initialName.find_first_of("*?") != std::string::npos;
    if (!request.initialName.empty() && !pattern) box.selectFile(toQt(request.initialName));
    const BusyCursor::Lifted answering;
    if (box.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList files = box.selectedFiles();
    if (files.isEmpty()) return std::nullopt;
    return std::filesystem::path(fromQt(files.front()));
}

std::optional<std::filesystem::path> QtHost::openFile(const ui::FileRequest& request) {
    QFileDialog box(topView());
    box.setObjectName(QStringLiteral("openFileDialog"));
    box.setAcceptMode(QFileDialog::AcceptOpen);
    box.setFileMode(QFileDialog::ExistingFile);
    return runFileDialog(box, request);
}

std::optional<std::filesystem::path> QtHost::saveFile(const ui::FileRequest& request) {
    QFileDialog box(topView());
    box.setObjectName(QStringLiteral("saveFileDialog"));
    box.setAcceptMode(QFileDialog::AcceptSave);
    box.setFileMode(QFileDialog::AnyFile);
    // The overwrite question is asked by the dialog (DontConfirmOverwrite stays off).
    return runFileDialog(box, request);
}

int QtHost::runModal(ui::Dialog& dialog) {
    dialog.reopen();
    DialogView view(dialog, topView());
    views_.push_back(&view);
    for (const ViewHook& hook : viewHooks_) hook(view);
    if (!dialog.ended()) {
        const BusyCursor::Lifted answering;
        view.exec();
    }
    // Whatever ended the loop (an application quit, say), the model ends too.
    if (!dialog.ended()) dialog.cancel();
    views_.pop_back();
    killTimers(dialog);
    if (views_.empty()) retired_.clear();
    return dialog.result();
}

void QtHost::setTimer(ui::Dialog& dialog, int timerId, int periodMs) {
    auto& timer = timers_[{&dialog, timerId}];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        ui::Dialog* d = &dialog;
        QObject::connect(timer.get(), &QTimer::timeout, [this, d, timerId] { timerFired(*d, timerId); });
    }
    timer->start(std::max(periodMs, 1));
}

void QtHost::killTimer(ui::Dialog& dialog, int timerId) {
    const auto it = timers_.find({&dialog, timerId});
    if (it == timers_.end()) return;
    retire(std::move(it->second));
    timers_.erase(it);
}

void QtHost::retire(std::unique_ptr<QTimer> timer) {
    // A handler may kill the very timer that is calling it: keep the object
    // until no timer signal can be on the stack.
    timer->stop();
    retired_.push_back(std::move(timer));
}

bool QtHost::timerActive(const ui::Dialog& dialog, int timerId) const {
    const auto it = timers_.find({&dialog, timerId});
    return it != timers_.end() && it->second->isActive();
}

void QtHost::killTimers(const ui::Dialog& dialog) {
    for (auto it = timers_.begin(); it != timers_.end();) {
        if (it->first.first == &dialog) {
            retire(std::move(it->second));
            it = timers_.erase(it);
        } else {
            ++it;
        }
    }
}

void QtHost::timerFired(ui::Dialog& dialog, int timerId) {
    if (held_->sleeping > 0) {
        held_->ticks.insert({&dialog, timerId});
        return;
    }
    dialog.timer(timerId);
}

void QtHost::sleep(int ms) {
    if (ms <= 0) return;
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        std::this_thread::sleep_until(deadline);
        return;
    }
    // The windows paint and answer the window manager meanwhile; clicks and
    // keys stay queued for when the handler is done.
    constexpr auto kSlice = std::chrono::milliseconds(5);
    ++held_->sleeping;
    for (auto now = Clock::now(); now < deadline; now = Clock::now()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        std::this_thread::sleep_until(std::min(deadline, Clock::now() + kSlice));
    }
    --held_->sleeping;
    if (held_->sleeping == 0 && (!held_->ticks.empty() || !held_->posted.empty())) {
        QMetaObject::invokeMethod(context_.get(), [this] { release(); }, Qt::QueuedConnection);
    }
}

void QtHost::release() {
    held_->runPosted();
    auto ticks = std::exchange(held_->ticks, {});
    for (const auto& [dialog, id] : ticks) {
        // A timer killed meanwhile, or of a dialog that has gone, stays quiet.
        if (held_->sleeping == 0 && timerActive(*dialog, id)) dialog->timer(id);
    }
}

void QtHost::HeldBack::runPosted() {
    while (sleeping == 0 && !posted.empty()) {
        auto fn = std::move(posted.front());
        posted.pop_front();
        fn();
    }
}

ui::LocalTime QtHost::now() { return ui::systemLocalTime(); }

void QtHost::post(std::function<void()> fn) {
    // Queued to the application object, so it runs in whichever event loop
    // turns next on the user-interface thread, nested modal loops included.
    // A handler that sleeps holds it back, so it never runs in the middle of one.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [held = held_, fn = std::move(fn)]() mutable {
            held->posted.push_back(std::move(fn));
            held->runPosted();
        },
        Qt::QueuedConnection);
}

}  // namespace pemblor::gui
