// The statistics window's data feed: points from the status history, the
// two-minute window, and a window that redraws when samples arrive.
#include <QChart>
#include <QLineSeries>
#include <QTest>
#include <QValueAxis>

#include "status/status_history.hpp"
#include "gui/statistics_feed.hpp"
#include "gui/statistics_window.hpp"
#include "gui_test_registry.hpp"

namespace pemblor::gui::testing {

namespace {

// Sample t: slot k carries (t + k) KiB per second and t + 10k blocks,
// channel c shows 25 - c previews, and t % 3 records were dropped.
status::StatusSample sample(std::uint64_t t) {
    status::StatusSample s;
    s.tick = t;
    for (std::size_t k = 0; k < s.bitRate.size(); ++k) {
        s.bitRate[k] = static_cast<std::uint32_t>((t + k) * 8 * 1024);
        s.blocks[k] = static_cast<std::uint32_t>(t + 10 * k);
    }
    for (std::size_t c = 0; c < s.previews.size(); ++c) s.previews[c] = static_cast<std::uint32_t>(25 - c);
    s.dropped = static_cast<std::uint32_t>(t % 3);
    return s;
}

QList<QList<QPointF>> lists(StatisticsPlot plot) {
    QList<QList<QPointF>> l;
    for (qsizetype i = 0; i < seriesNames(plot).size(); ++i) l.append(QList<QPointF>());
    return l;
}

}  // namespace

class StatisticsTest : public QObject {
    Q_OBJECT

private slots:
    void feedKeepsTheLastTwoMinutesOfEveryFigure() {
        status::StatusHistory history;
        auto bits = lists(StatisticsPlot::BitRate);
        QCOMPARE(fillPlot(history, StatisticsPlot::BitRate, bits), 0.0);
        QVERIFY(bits[0].isEmpty());

        for (std::uint64_t t = 1; t <= 130; ++t) history.push(sample(t));
        QCOMPARE(history.size(), std::size_t{120});
        QCOMPARE(history.pushes(), std::uint64_t{130});

        // Bit rate in kbit/s, the oldest kept sample (tick 11) at -119 s, the newest at 0.
        QCOMPARE(fillPlot(history, StatisticsPlot::BitRate, bits), (130.0 + 7) * 8);
        QCOMPARE(bits.size(), qsizetype{8});
        for (const auto& series : bits) QCOMPARE(series.size(), qsizetype{120});
        QCOMPARE(bits[0].front(), QPointF(-119, 11 * 8));
        QCOMPARE(bits[0].back(), QPointF(0, 130 * 8));
        QCOMPARE(bits[5].back(), QPointF(0, 135 * 8));

        auto blocks = lists(StatisticsPlot::Blocks);
        QCOMPARE(fillPlot(history, StatisticsPlot::Blocks, blocks), 130.0 + 70);
        QCOMPARE(blocks[7][60], QPointF(-59, 71 + 70));

        auto previews = lists(StatisticsPlot::Previews);
        QCOMPARE(previews.size(), qsizetype{4});
        fillPlot(history, StatisticsPlot::Previews, previews);
        QCOMPARE(previews[3].back(), QPointF(0, 22));

        auto dropped = lists(StatisticsPlot::Dropped);
        QCOMPARE(fillPlot(history, StatisticsPlot::Dropped, dropped), 2.0);
        QCOMPARE(dropped[0].back(), QPointF(0, 130 % 3));

        // More lists than the plot has series: the rest stay untouched.
        QList<QList<QPointF>> eight = lists(StatisticsPlot::BitRate);
        eight[6].append(QPointF(1, 1));
        fillPlot(history, StatisticsPlot::Previews, eight);
        QCOMPARE(eight[6].size(), qsizetype{1});

        // Filling again reuses the lists and gives the same points.
        const QList<QPointF> before = bits[3];
        fillPlot(history, StatisticsPlot::BitRate, bits);
        QCOMPARE(bits[3], before);
    }

    void windowRedrawsWhenSamplesArrive() {
        status::StatusHistory history;
        StatisticsWindow window(history);
        window.show();
        QCOMPARE(window.windowTitle(), QStringLiteral("Statistics"));
        const auto lines = window.series(StatisticsPlot::BitRate);
        QCOMPARE(lines.size(), qsizetype{8});
        QCOMPARE(lines[4]->name(), QStringLiteral("SubChan1"));
        QCOMPARE(window.series(StatisticsPlot::Dropped).size(), qsizetype{1});
        QCOMPARE(lines[0]->count(), 0);

        for (std::uint64_t t = 1; t <= 5; ++t) history.push(sample(t));
        QTRY_COMPARE(lines[0]->count(), 5);  // the window looks for new samples by itself
        QCOMPARE(lines[2]->at(4), QPointF(0, (5 + 2) * 8));
        auto* y = qobject_cast<QValueAxis*>(window.chart(StatisticsPlot::BitRate)->axes(Qt::Vertical).front());
        QVERIFY(y);
        QCOMPARE(y->max(), 100.0);  // 96 kbit/s at most: a round top above it

        history.push(sample(6));
        window.refresh();
        QCOMPARE(lines[0]->count(), 6);
        QCOMPARE(window.series(StatisticsPlot::Previews)[1]->at(5), QPointF(0, 24));
    }

    void oneWindowPerOwner() {
        status::StatusHistory history;
        QWidget owner;
        StatisticsWindow* first = showStatistics(owner, history);
        QCOMPARE(showStatistics(owner, history), first);
        QVERIFY(first->isVisible());
        QVERIFY(first->testAttribute(Qt::WA_DeleteOnClose));
    }
};

PEMBLOR_GUI_TEST(StatisticsTest);

}  // namespace pemblor::gui::testing

#include "statistics_test.moc"
