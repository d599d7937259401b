#include "gui/statistics_window.hpp"

#include <QChart>
#include <QChartView>
#include <QGridLayout>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>
#include <algorithm>

namespace pemblor::gui {

namespace {

constexpr int kPollMs = 250;
constexpr double kSeconds = static_cast<double>(status::StatusHistory::kCapacity);

// Each channel keeps its colour in every plot; a sub-stream is drawn dashed
// in a lighter shade of it, and the legend shows each line as it is drawn.
QPen seriesPen(StatisticsPlot kind, qsizetype k) {
    static const QColor kChannelColours[] = {QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28),
                                             QColor(0x2c, 0xa0, 0x2c), QColor(0xff, 0x7f, 0x0e)};
    if (kind == StatisticsPlot::Dropped) return QPen(QColor(0x8c, 0x1d, 0x1d), 2);
    QPen pen(kChannelColours[k % 4], 2);
    if (k >= 4) {
        pen.setColor(kChannelColours[k % 4].lighter(140));
        pen.setStyle(Qt::DashLine);
    }
    return pen;
}

}  // namespace

StatisticsWindow::StatisticsWindow(const status::StatusHistory& history, QWidget* parent)
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
    x->setLabelFormat(QStringLiteral("%d"));
    x->setTickCount(7);
    x->setTitleText(QStringLiteral("seconds"));
    p.y = new QValueAxis(p.chart);
    p.y->setRange(0, 1);
    p.y->setLabelFormat(QStringLiteral("%g"));
    p.chart->addAxis(x, Qt::AlignBottom);
    p.chart->addAxis(p.y, Qt::AlignLeft);
    p.chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    const QStringList names = seriesNames(kind);
    for (qsizetype k = 0; k < names.size(); ++k) {
        auto* line = new QLineSeries(p.chart);
        line->setName(names[k]);
        line->setPen(seriesPen(kind, k));
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
        // Round numbers on the axis, never a flat zero range.
        p.y->setRange(0, std::max(top, 1.0));
        p.y->applyNiceNumbers();
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

StatisticsWindow* showStatistics(QWidget& owner, const status::StatusHistory& history) {
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
