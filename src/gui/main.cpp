// pemblor: the desktop console, on simulated cards.
#include <CLI/CLI.hpp>
#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <iostream>

#include "gui/app_icon.hpp"
#include "gui/desktop.hpp"
#include "gui/dialog_view.hpp"

namespace {

// Cancels a view's dialog once the view has painted itself for the first time.
class ClosesWhenPainted : public QObject {
public:
    explicit ClosesWhenPainted(pemblor::gui::DialogView& view) : QObject(&view), view_(view) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint && !done_) {
            done_ = true;
            QTimer::singleShot(0, &view_, [v = &view_] { v->dialog().cancel(); });
        }
        return false;
    }

private:
    pemblor::gui::DialogView& view_;
    bool done_ = false;
};

void closeWhenPainted(pemblor::gui::DialogView& view) { view.installEventFilter(new ClosesWhenPainted(view)); }

}  // namespace

int main(int argc, char** argv) {
    using namespace pemblor::gui;
    // Qt takes its own options (-platform, -display, ...) out of argv first.
    QApplication qt(argc, argv);
    QApplication::setWindowIcon(applicationIcon());

    CLI::App cli{"pemblor: desktop console for the video-encoder card"};
    DesktopOptions options;
    bool exitWhenShown = false;
    cli.add_option("--root", options.root, "Folder that stands for drive C: (data root)");
    cli.add_option("--cards", options.cards, "Device numbers that carry a simulated card")->default_str("0,1");
    cli.add_option("--sim-config", options.simConfig, "Simulated card settings (INI file)");
    cli.add_flag("--trace", options.trace, "Log every driver request to standard error");
    cli.add_option("--support-email", options.supportEmail, "Support address shown by the console");
    cli.add_flag("--exit-when-shown", exitWhenShown, "Close the console as soon as it is shown (start-up check)");
    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return cli.exit(e);
    }

    std::string error;
    auto desktop = Desktop::create(options, error);
    if (!desktop) {
        std::cerr << "pemblor: " << error << "\n";
        return 2;
    }
    if (exitWhenShown) {
        desktop->host().addViewHook([](DialogView& view) { closeWhenPainted(view); });
    }
    desktop->run();
    return 0;
}
