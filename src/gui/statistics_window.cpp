#include "gui/statistics_window.hpp"

#include <QChart>
#include <QChartView>
#include <QGridLayout>
#include <QLineSeries>
#include <QValueAxis>
#include <cmath>

namespace pemblor::gui {

namespace {

constexpr int kPollMs = 250;
constexpr double kSeconds = static_cast<double>(app::StatusHistory::kCapacity);

// A round top for the y axis: 1, 2 or 5 times a power of ten, above the data.
double niceTop(double top) {
    if (top <= 0) return 1;
    const double scale = std::pow(10.0, std::floor(std::log10(top)));
    for (double step : {1.0, 2.0, 5.0, 10.0}) {
        if (top <= step * scale) return step * scale;
    }
    return 10 * scale;
}

}  // namespace

StatisticsWindow::StatisticsWindow(const app::StatusHistory& history, QWidget* parent)
    : QWidget(parent, Qt::Window), history_(history) {
    setWindowTitle(QStringLiteral("Statistics"));
    resize(960, 680);
    new QGridLayout(this);  // owned by the window
    plots_.reserve(std::size(kStatisticsPlots));
    int i = 0;
    for (StatisticsPlot kind : kStatisticsPlots) {
        addPlot(kind, i / 2, i % 2);
        ++i;
    }
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &StatisticsWindow::refresh);
    poll_.start();
    refresh();
}

void StatisticsWindow::addPlot(StatisticsPlot kind, int row, int column) {
    Plot p;
    p.kind = kind;
    p.chart = new QChart;
    p.chart->setTitle(plotTitle(kind));
    p.chart->legend()->setAlignment(Qt::AlignRight);
    auto* x = new QValueAxis(p.chart);
    x->setRange(-kSeconds, 0);
    x->setLabelFormat(QStringLiteral("%d s"));
    x->setTickCount(7);
    p.y = new QValueAxis(p.chart);
    p.y->setRange(0, 1);
    p.y->setLabelFormat(QStringLiteral("%g"));
    p.chart->addAxis(x, Qt::AlignBottom);
    p.chart->addAxis(p.y, Qt::AlignLeft);
    for (const QString& name : seriesNames(kind)) {
        auto* line = new QLineSeries(p.chart);
        line->setName(name);
        p.chart->addSeries(line);
        line->attachAxis(x);
        line->attachAxis(p.y);
        p.lines.append(line);
        p.points.append(QList<QPointF>());
    }
    auto* view = new QChartView(p.chart, this);  // the view owns the chart
    view->setRenderHint(QPainter::Antialiasing);
    static_cast<QGridLayout*>(layout())->addWidget(view, row, column);
    plots_.push_back(std::move(p));
}

void StatisticsWindow::refresh() {
    if (history_.pushes() == shown_) return;
    shown_ = history_.pushes();
    for (Plot& p : plots_) {
        const double top = fillPlot(history_, p.kind, p.points);
        for (qsizetype k = 0; k < p.lines.size(); ++k) p.lines[k]->replace(p.points[k]);
        p.y->setRange(0, niceTop(top));
    }
}

const StatisticsWindow::Plot& StatisticsWindow::plot(StatisticsPlot kind) const {
    for (const Plot& p : plots_) {
        if (p.kind == kind) return p;
    }
    return plots_.front();
}

QChart* StatisticsWindow::chart(StatisticsPlot kind) const { return plot(kind).chart; }

QList<QLineSeries*> StatisticsWindow::series(StatisticsPlot kind) const { return plot(kind).lines; }

StatisticsWindow* showStatistics(QWidget& owner, const app::StatusHistory& history) {
    auto* window = owner.findChild<StatisticsWindow*>(QString(), Qt::FindDirectChildrenOnly);
    if (!window) {
        window = new StatisticsWindow(history, &owner);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

}  // namespace pemblor::gui
