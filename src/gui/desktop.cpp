#include "gui/desktop.hpp"

#include <QKeySequence>
#include <iostream>

#include "common/data_root.hpp"
#include "driver/tracing_transport.hpp"
#include "gui/console_layout.hpp"
#include "gui/dialog_view.hpp"
#include "gui/qt_text.hpp"
#include "gui/selftest_window.hpp"
#include "gui/statistics_window.hpp"
#include "resources/dialogs.hpp"
#include "resources/string_table.hpp"
#include "sim/settings/sim_report.hpp"
#include "sim/settings/sim_settings.hpp"
#include "sim/card/sim_transport.hpp"

namespace pemblor::gui {

std::unique_ptr<Desktop> Desktop::create(const DesktopOptions& options, std::string& error) {
    const auto numbers = sim::parseCardList(options.cards, error);
    if (!numbers) {
        error = "--cards: " + error;
        return nullptr;
    }
    sim::SimSettings settings = sim::SimSettings::withCards(*numbers);
    if (!options.simConfig.empty() && !sim::applySimConfig(options.simConfig, settings, error)) return nullptr;

    std::unique_ptr<Desktop> d(new Desktop);
    d->simReport_ = options.simReport;
    d->cards_ = std::make_unique<sim::SimTransport>(std::move(settings));
    driver::Transport* transport = d->cards_.get();
    if (options.trace) {
        d->traced_ = std::make_unique<driver::TracingTransport>(*d->cards_, std::cerr);
        transport = d->traced_.get();
    }
    d->link_ = std::make_unique<driver::DriverLink>(*transport);
    d->host_ = std::make_unique<QtHost>(common::resolveDataRoot(options.root));
    d->renderer_ = std::make_unique<QtRenderer>(*d->host_);
    app::ConsoleOptions consoleOptions{options.supportEmail};
    consoleOptions.renderer = d->renderer_.get();
    d->console_ = std::make_unique<app::Console>(*d->host_, *d->link_, consoleOptions);
    applyConsoleLayout(d->console_->dialog());

    // The About entry of the window menu, present only when its string is.
    app::Console* console = d->console_.get();
    d->host_->addViewHook([console](DialogView& view) {
        if (view.dialog().id() != resources::kConsoleDialogId) return;
        const std::string_view entry = resources::loadString(resources::kStrAbout);
        if (entry.empty()) return;
        view.addMenuEntry(toQt(entry), QKeySequence(Qt::Key_F1), [console] { console->showAbout(); });
    });
    d->host_->addViewHook([console](DialogView& view) {
        if (view.dialog().id() != resources::kConsoleDialogId) return;
        view.addMenuEntry(QStringLiteral("Statistics"), QKeySequence(Qt::Key_F2),
                          [console, &view] { showStatistics(view, console->statusHistory()); });
    });
    QtHost* host = d->host_.get();
    sim::SimTransport* cards = d->cards_.get();
    d->host_->addViewHook([console, host, cards, transport](DialogView& view) {
        if (view.dialog().id() != resources::kConsoleDialogId) return;
        view.addMenuEntry(QStringLiteral("Self-test"), QKeySequence(Qt::Key_F3), [=, &view] {
            showSelfTest(view, *console, {transport, host, host->root(), 0,
                                          [cards](int device) { return cards->payloadBytes(device); },
                                          [console](std::string_view line) { console->appendLine(line); }});
        });
    });
    return d;
}

Desktop::~Desktop() {
    // The console stops its threads before the cards it talks to go away.
    if (console_) console_->shutdown();
    console_.reset();
    std::string error;
    if (!simReport_.empty() && cards_ && !sim::writeSimReport(*cards_, simReport_, error))
        std::cerr << "pemblor: " << error << "\n";
}

int Desktop::run() { return console_->run(); }

}  // namespace pemblor::gui
