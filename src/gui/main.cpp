// pemblor: the desktop console, on simulated cards.
#include <CLI/CLI.hpp>

#include <QApplication>
#include <QEvent>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <string_view>
#include <sys/socket.h>
#include <unistd.h>

#include "common/shared_files.hpp"
#include "common/version.hpp"
#include "common/data_root.hpp"
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

// Ctrl-C, hang-up and termination close the windows as their close boxes
// would, so the console stops whatever runs and finishes its files before
// the program ends. The handler only writes a byte; the event loop does the rest.
int gSignalPipe[2] = {-1, -1};

void onStopSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(gSignalPipe[0], &byte, 1);
}

void closeWindowsOnStopSignals(QApplication& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, gSignalPipe) != 0) return;
    auto* notifier = new QSocketNotifier(gSignalPipe[1], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [] {
        char byte;
        [[maybe_unused]] const auto n = ::read(gSignalPipe[1], &byte, 1);
        QApplication::closeAllWindows();
    });
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
}

void addOptions(CLI::App& cli, pemblor::gui::DesktopOptions& options, bool& exitWhenShown) {
    cli.add_option("--root", options.root, "Folder that stands for drive C: (data root)")
        ->type_name("DIR")
        ->check(CLI::Validator(
            [](std::string& root) {
                const std::string reason = pemblor::common::checkRootOption(root);
                return reason.empty() ? reason : root + ": " + reason;
            },
            "DIR"));
    cli.add_option("--cards", options.cards,
                   "Device numbers (0..31) that carry a simulated card, separated by commas or blanks")
        ->default_str("0,1")->type_name("LIST");
    cli.add_option("--sim-config", options.simConfig, "Simulated card settings (INI file)")->type_name("FILE");
    cli.add_flag("--trace", options.trace, "Log every driver request to standard error");
    cli.add_option("--support-email", options.supportEmail, "Support address shown by the console")
        ->type_name("ADDR");
    cli.add_option("--sim-report", options.simReport,
                   "At the end, write what each simulated card delivered and dropped (JSON)")->type_name("FILE");
    cli.add_option("--metrics", options.metrics,
                   "Serve metrics for Prometheus at ADDR:PORT while the console runs (a bare port: loopback)")
        ->type_name("ADDR:PORT");
    cli.add_option("--record-traffic", options.recordTraffic,
                   "Record what the receive path fetches from the card as a replay file (and FILE.bin)")
        ->type_name("FILE");
    cli.add_option("--record-traffic-max", options.recordTrafficMb,
                   "Stop recording traffic at this size, in MB (default 1024)")
        ->type_name("MB")->check(CLI::Range(1, 4000));
    cli.add_flag("--exit-when-shown", exitWhenShown, "Close the console as soon as it is shown (start-up check)");
    cli.set_version_flag("--version", pemblor::common::versionLine("pemblor"),
                         "Print the version and the commit it was built from, and exit");
}

// The help and the version need no display: they are answered before Qt
// looks for one. Empty when the console is to start.
std::string answerWithoutDisplay(int argc, char** argv, CLI::App& cli) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--") break;
        if (arg == "-h" || arg == "--help") {
            cli.name("pemblor");
            return cli.help();
        }
        if (arg == "--version") return pemblor::common::versionLine("pemblor") + "\n";
    }
    return {};
}

// A display the toolkit can use: X11 or Wayland named in the environment, or
// a platform chosen explicitly (-platform or QT_QPA_PLATFORM, e.g. offscreen).
bool hasDisplay(int argc, char** argv) {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-platform" || arg.starts_with("-platform=")) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace pemblor::gui;
    CLI::App cli{"pemblor: desktop console for the video-encoder card"};
    DesktopOptions options;
    bool exitWhenShown = false;
    addOptions(cli, options, exitWhenShown);
    if (const std::string answer = answerWithoutDisplay(argc, argv, cli); !answer.empty()) {
        std::cout << answer;
        return 0;
    }
    // Without a display the toolkit would abort; say so in one line instead.
    if (!hasDisplay(argc, argv)) {
        std::cerr << "pemblor: no display found (DISPLAY and WAYLAND_DISPLAY are not set); "
                     "pemblorctl console --script FILE runs the console without one\n";
        return 2;
    }
    // Qt takes its own options (-platform, -display, ...) out of argv first.
    QApplication qt(argc, argv);
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("pemblor"));
    QApplication::setWindowIcon(applicationIcon());
    try {
        cli.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return cli.exit(e);
    }
    // Without settings of its own the console serves the example cards it
    // ships with, as `make run` does: Dev0 at power-up, Dev1 in service.
    if (cli.count("--sim-config") == 0) {
        if (const auto example = pemblor::common::findSharedFile("run-cards.ini")) options.simConfig = example->string();
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
    closeWindowsOnStopSignals(qt);
    desktop->run();
    return 0;
}
