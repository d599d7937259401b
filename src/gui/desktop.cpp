#include "gui/desktop.hpp"

#include <QKeySequence>
#include <iostream>

#include "common/data_root.hpp"
#include "common/shared_files.hpp"
#include "driver/card_health.hpp"
#include "driver/tracing_transport.hpp"
#include "driver/traffic_recording_transport.hpp"
#include "gui/console_layout.hpp"
#include "gui/dialog_view.hpp"
#include "gui/qt_text.hpp"
#include "gui/selftest_window.hpp"
#include "gui/statistics_window.hpp"
#include "metrics/server.hpp"
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
    // Served before anything starts, so that a port in use starts nothing.
    if (!options.metrics.empty()) {
        d->health_ = std::make_unique<driver::CardHealth>();
        auto collector = std::make_shared<metrics::Collector>(
            metrics::ProcessFacts{common::resolveDataRoot(options.root), metrics::programVersion()});
        d->metrics_ = metrics::serveMetrics(options.metrics, collector, error);
        if (!d->metrics_) {
            error = "--metrics " + error;
            return nullptr;
        }
    }
    d->simReport_ = options.simReport;
    d->cards_ = std::make_unique<sim::SimTransport>(std::move(settings));
    driver::Transport* transport = d->cards_.get();
    if (!options.recordTraffic.empty()) {
        d->recorded_ = driver::TrafficRecordingTransport::create(
            *d->cards_, {options.recordTraffic, std::uint64_t{options.recordTrafficMb} << 20}, std::cerr, error);
        if (!d->recorded_) {
            error = "--record-traffic: " + error;
            return nullptr;
        }
        transport = d->recorded_.get();
    }
    if (options.trace) {
        d->traced_ = std::make_unique<driver::TracingTransport>(*transport, std::cerr);
        transport = d->traced_.get();
    }
    d->link_ = std::make_unique<driver::DriverLink>(*transport);
    d->host_ = std::make_unique<QtHost>(common::resolveDataRoot(options.root));
    if (const auto sample = common::findSharedFile("sample.IMG")) d->host_->addPlace(sample->parent_path());
    d->renderer_ = std::make_unique<QtRenderer>(*d->host_);
    app::ConsoleOptions consoleOptions{options.supportEmail};
    consoleOptions.renderer = d->renderer_.get();
    consoleOptions.cardHealth = d->health_.get();
    d->console_ = std::make_unique<app::Console>(*d->host_, *d->link_, consoleOptions);
    if (d->metrics_) d->metrics_->collector().addCard({&d->console_->receptionStats(), d->health_.get()});
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
    // Simulated cards must never pass for real ones; the console's own texts stay as they are.
    if (transport->simulated()) {
        d->host_->addViewHook([](DialogView& view) {
            if (view.dialog().id() != resources::kConsoleDialogId) return;
            view.showStatus(QStringLiteral("Simulated cards: no real card is in use"));
        });
    }
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
    metrics_.reset();
    if (console_) console_->shutdown();
    console_.reset();
    std::string error;
    if (!simReport_.empty() && cards_ && !sim::writeSimReport(*cards_, simReport_, error))
        std::cerr << "pemblor: " << error << "\n";
}

int Desktop::run() { return console_->run(); }

}  // namespace pemblor::gui
