#include "gui/qt_host.hpp"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>
#include <thread>

#include "gui/dialog_view.hpp"
#include "gui/file_filter.hpp"
#include "gui/qt_text.hpp"

namespace pemblor::gui {

QtHost::QtHost(std::filesystem::path root) : root_(std::move(root)) {}

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
    box.exec();
}

std::optional<std::filesystem::path> QtHost::runFileDialog(QFileDialog& box, const ui::FileRequest& request) {
    box.setOption(QFileDialog::DontUseNativeDialog);
    // The patterns spell out both cases of every letter; the names say enough.
    box.setOption(QFileDialog::HideNameFilterDetails);
    box.setNameFilters(qtNameFilters(request.filter));
    box.setDefaultSuffix(toQt(request.defaultExtension));
    box.setDirectory(toQt(root_.string()));
    // An initial name such as "*.cmd" is a pattern, which the filter already applies.
    const bool pattern = request.initialName.find_first_of("*?") != std::string::npos;
    if (!request.initialName.empty() && !pattern) box.selectFile(toQt(request.initialName));
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
    if (!dialog.ended()) view.exec();
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
        QObject::connect(timer.get(), &QTimer::timeout, [d, timerId] { d->timer(timerId); });
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

void QtHost::sleep(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

ui::LocalTime QtHost::now() { return ui::systemLocalTime(); }

void QtHost::post(std::function<void()> fn) {
    // Queued to the application object, so it runs in whichever event loop
    // turns next on the user-interface thread, nested modal loops included.
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(fn), Qt::QueuedConnection);
}

}  // namespace pemblor::gui
