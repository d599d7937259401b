// End to end on a real display (run under xvfb-run): the desktop console
// receives from a card in service while the Statistics window is open, and a
// screenshot of the window is saved into the build folder.
#include <QAction>
#include <QApplication>
#include <QLineSeries>
#include <QTest>
#include <QTimer>

#include "gui/app_icon.hpp"
#include "card_in_service.hpp"
#include "gui/desktop.hpp"
#include "gui/dialog_view.hpp"
#include "gui/statistics_window.hpp"
#include "resources/console_ids.hpp"
#include "resources/dialogs.hpp"

namespace pemblor::gui::testing {

using namespace resources::console;

namespace {
// The highest point of a plot's series.
double top(const StatisticsWindow& w, StatisticsPlot plot) {
    double y = 0;
    for (const QLineSeries* s : w.series(plot)) {
        for (const QPointF& p : s->points()) y = std::max(y, p.y());
    }
    return y;
}
}  // namespace

class StatisticsEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void chartsFollowReception() {
        QVERIFY2(qgetenv("QT_QPA_PLATFORM") != "offscreen", "meant for a display (xvfb-run)");
        std::string error;
        auto desktop = testing::desktopWithCardInService("statistics_root", error);
        QVERIFY2(desktop, error.c_str());

        bool entry = false, shot = false;
        double bits = 0, blocks = 0, previews = 0;
        desktop->host().addViewHook([&](DialogView& view) {
            if (view.dialog().id() != resources::kConsoleDialogId) return;
            QTimer::singleShot(0, &view, [&] {
                QVERIFY(QTest::qWaitForWindowExposed(&view));
                // The entry sits in the window's context menu beside About.
                for (QAction* a : view.actions()) {
                    if (a->text() == QStringLiteral("Statistics")) {
                        entry = true;
                        a->trigger();
                    }
                }
                auto* stats = view.findChild<StatisticsWindow*>();
                QVERIFY(stats);
                QVERIFY(QTest::qWaitForWindowExposed(stats));
                // Opened before the card: it follows whatever comes.
                QTest::mouseClick(view.widget(kOpenDev), Qt::LeftButton);
                QTest::mouseClick(view.widget(kRecvData), Qt::LeftButton);
                QTRY_VERIFY_WITH_TIMEOUT(stats->series(StatisticsPlot::BitRate)[0]->count() >= 8, 30000);
                bits = top(*stats, StatisticsPlot::BitRate);
                blocks = top(*stats, StatisticsPlot::Blocks);
                previews = top(*stats, StatisticsPlot::Previews);
                shot = stats->grab().save(QStringLiteral(PEMBLOR_SCREENSHOT_DIR "/pemblor_statistics.png"));
                QTest::mouseClick(view.widget(kExit), Qt::LeftButton);
            });
        });
        QCOMPARE(desktop->run(), ui::kIdOk);
        QVERIFY(entry);
        QVERIFY(shot);
        QVERIFY2(bits > 0 && blocks > 0 && previews > 0,
                 qPrintable(QStringLiteral("%1 %2 %3").arg(bits).arg(blocks).arg(previews)));
    }
};

}  // namespace pemblor::gui::testing

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setWindowIcon(pemblor::gui::applicationIcon());
    pemblor::gui::testing::StatisticsEndToEnd test;
    return QTest::qExec(&test, argc, argv);
}

#include "statistics_end_to_end.moc"
