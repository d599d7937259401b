// A handler that takes its time: the wait cursor is up, the window keeps
// painting while it sleeps, and timers, posted work and a close box wait
// until it is done; a message box it opens shows the normal cursor.
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "gui/dialog_view.hpp"
#include "gui/qt_host.hpp"
#include "gui_test_registry.hpp"
#include "modal_driver.hpp"
#include "test_dialogs.hpp"
#include "ui/dialog.hpp"

namespace pemblor::gui::testing {

namespace {

// Counts paint events of a widget while a flag is set.
class PaintCounter : public QObject {
public:
    PaintCounter(const bool& counting, int& count) : counting_(counting), count_(count) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && counting_) ++count_;
        return false;
    }

private:
    const bool& counting_;
    int& count_;
};

Qt::CursorShape overrideShape() {
    const QCursor* c = QGuiApplication::overrideCursor();
    return c ? c->shape() : Qt::ArrowCursor;
}

}  // namespace

class BusyHandlerTest : public QObject {
    Q_OBJECT

private slots:
    void aSleepingHandlerPaintsButHoldsTimersAndPostedWorkBack() {
        QtHost host(std::filesystem::temp_directory_path());
        ui::Dialog d(everyKindDialog());
        bool inHandler = false;
        int paints = 0;
        Qt::CursorShape during = Qt::ArrowCursor;
        QStringList events;
        d.onTimer([&](int) { events << (inHandler ? "tick inside" : "tick"); });
        d.onClick(kButton, [&] {
            inHandler = true;
            during = overrideShape();
            d.setText(kLabel, "working");
            host.setTimer(d, 1, 10);
            host.post([&] { events << (inHandler ? "posted inside" : "posted"); });
            host.sleep(300);
            host.sleep(100);  // a second sleep of the same handler holds back as well
            host.setTimer(d, 1, 1000000);  // no tick of its own from now on
            inHandler = false;
        });
        PaintCounter counter(inHandler, paints);
        host.addViewHook([&](DialogView& view) {
            view.widget(kLabel)->installEventFilter(&counter);
            QTimer::singleShot(0, &view, [&] {
                QVERIFY(QTest::qWaitForWindowExposed(&view));
                QTest::mouseClick(view.widget(kButton), Qt::LeftButton);
                QCOMPARE(overrideShape(), Qt::ArrowCursor);  // lifted when the handler ended
                QTRY_VERIFY_WITH_TIMEOUT(events.size() >= 2, 10000);
                QTest::qWait(50);
                d.end(ui::kIdOk);
            });
        });
        QCOMPARE(host.runModal(d), ui::kIdOk);
        QCOMPARE(during, Qt::WaitCursor);
        QVERIFY2(paints > 0, "the label repainted while its handler slept");
        // Held back till the handler ended: the posted work, then the tick
        // that fell due meanwhile, once.
        QCOMPARE(events, (QStringList{"posted", "tick"}));
    }

    void aMessageBoxShowsTheNormalCursorAndACloseWaitsForTheHandler() {
        QtHost host(std::filesystem::temp_directory_path());
        ui::Dialog d(everyKindDialog());
        DialogView* shown = nullptr;
        Qt::CursorShape inBox = Qt::WaitCursor, after = Qt::ArrowCursor;
        bool endedInside = true;
        d.onClick(kButton, [&] {
            whenModal<QMessageBox>([&](QMessageBox* box) {
                inBox = overrideShape();
                box->button(QMessageBox::Ok)->click();
            });
            host.messageBox(&d, "Device is not open, failed!");
            after = overrideShape();
            // The close box, clicked while the handler sleeps.
            QTimer::singleShot(20, shown, [&] { shown->close(); });
            host.sleep(200);
            endedInside = d.ended();
        });
        host.addViewHook([&](DialogView& view) {
            shown = &view;
            QTimer::singleShot(0, &view, [&] { QTest::mouseClick(view.widget(kButton), Qt::LeftButton); });
        });
        QCOMPARE(host.runModal(d), ui::kIdCancel);
        QCOMPARE(inBox, Qt::ArrowCursor);
        QCOMPARE(after, Qt::WaitCursor);
        QVERIFY(!endedInside);
        QVERIFY(QGuiApplication::overrideCursor() == nullptr);
    }
};

PEMBLOR_GUI_TEST(BusyHandlerTest);

}  // namespace pemblor::gui::testing

#include "busy_handler_test.moc"
