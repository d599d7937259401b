#pragma once
// The "Statistics" window of the desktop console: the last two minutes of
// each stream slot's bit rate and block rate, the preview pictures of each
// channel and the records the card dropped, drawn from the status history
// that the once-a-second status tick fills. It looks for new samples a few
// times a second and redraws only when there are some, so it costs the
// console next to nothing; it may stay open while the card is opened,
// closed, receiving or idle.
#include <QList>
#include <QPointF>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <vector>

#include "status/status_history.hpp"
#include "gui/statistics_feed.hpp"

class QChart;
class QLineSeries;
class QValueAxis;

namespace pemblor::gui {

class StatisticsWindow : public QWidget {
    Q_OBJECT
public:
    // The history must outlive the window.
    explicit StatisticsWindow(const status::StatusHistory& history, QWidget* parent = nullptr);

    // Redraws when the history holds samples not shown yet.
    void refresh();
    // The chart of a plot and its series, as drawn (for tests).
    QChart* chart(StatisticsPlot plot) const;
    QList<QLineSeries*> series(StatisticsPlot plot) const;

private:
    struct Plot {
        StatisticsPlot kind = StatisticsPlot::BitRate;
        QChart* chart = nullptr;
        QValueAxis* y = nullptr;
        QList<QLineSeries*> lines;
        QList<QList<QPointF>> points;  // reused at each redraw
    };
    void addPlot(StatisticsPlot kind, int row, int column);
    const Plot& plot(StatisticsPlot kind) const;

    const status::StatusHistory& history_;
    std::vector<Plot> plots_;
    std::uint64_t shown_ = ~std::uint64_t{0};
    QTimer poll_;
};

// Shows the statistics window of owner, made on first use (one per owner);
// closing it deletes it. Returns it.
StatisticsWindow* showStatistics(QWidget& owner, const status::StatusHistory& history);

}  // namespace pemblor::gui
