// End to end on a real display (run under xvfb-run): the desktop console as
// the program builds it, over simulated cards. Opens Dev0 through the widgets,
// checks the output list, and saves screenshots of the console into the build
// folder: as it starts, and with the superior-operations group shown.
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "gui/app_icon.hpp"
#include "gui/desktop.hpp"
#include "gui/dialog_view.hpp"
#include "resources/console_ids.hpp"
#include "resources/dialogs.hpp"

namespace pemblor::gui::testing {

using namespace resources::console;

class EndToEndTest : public QObject {
    Q_OBJECT

private slots:
    void openDev0ThroughTheWidgets() {
        QVERIFY2(qgetenv("QT_QPA_PLATFORM") != "offscreen", "meant for a display (xvfb-run)");
        const std::filesystem::path root = std::filesystem::path(PEMBLOR_SCREENSHOT_DIR) / "e2e_root";
        DesktopOptions options;
        options.root = root.string();
        std::string error;
        auto desktop = Desktop::create(options, error);
        QVERIFY2(desktop, error.c_str());

        QString firstLine;
        bool shot = false, unlockedShot = false, aboutEntry = false;
        desktop->host().addViewHook([&](DialogView& view) {
            if (view.dialog().id() != resources::kConsoleDialogId) return;
            QTimer::singleShot(0, &view, [&] {
                QVERIFY(QTest::qWaitForWindowExposed(&view));
                aboutEntry = !view.actions().isEmpty();
                // Simulated cards are said under the controls; the dialog keeps its own size.
                QCOMPARE(view.statusText(), QStringLiteral("Simulated cards: no real card is in use"));
                QCOMPARE(view.widget(kOutputList)->geometry().bottom() < view.height() - 10, true);
                auto* device = qobject_cast<QComboBox*>(view.widget(kDevice));
                QCOMPARE(device->currentText(), QStringLiteral("Dev0"));
                QTest::mouseClick(view.widget(kOpenDev), Qt::LeftButton);
                view.flushLists();
                auto* list = qobject_cast<QListView*>(view.widget(kOutputList));
                QVERIFY(list->model()->rowCount() >= 1);
                firstLine = list->model()->index(0, 0).data().toString();
                // One status tick fills the status and channel lines.
                QTest::qWait(1300);
                shot = view.grab().save(QStringLiteral(PEMBLOR_SCREENSHOT_DIR "/pemblor_console.png"));

                // As an unlock leaves it: the hidden group shown, the list at two thirds.
                ui::Dialog& d = view.dialog();
                const std::vector<std::pair<int, bool>> saved = [&] {
                    std::vector<std::pair<int, bool>> v;
                    for (const ui::Control& c : d.controls()) v.emplace_back(c.id, c.visible);
                    return v;
                }();
                const ui::Rect full = d.control(kOutputList).rect;
                for (const ui::Control& c : d.controls()) {
                    if (c.id != ui::kNoId && c.id != kUnknownCheck) d.setVisible(c.id, true);
                }
                d.setGeometry(kOutputList, {full.x, full.y, full.width, full.height * 2 / 3});
                QTest::qWait(50);
                unlockedShot = view.grab().save(QStringLiteral(PEMBLOR_SCREENSHOT_DIR "/pemblor_console_unlocked.png"));
                d.setGeometry(kOutputList, full);
                for (const auto& [id, visible] : saved) {
                    if (id != ui::kNoId) d.setVisible(id, visible);
                }
                QTest::mouseClick(view.widget(kExit), Qt::LeftButton);
            });
        });
        QCOMPARE(desktop->run(), ui::kIdOk);
        QVERIFY2(firstLine.startsWith(QStringLiteral("Open Dev KSVECWDM0 OK !!! Slot ID:")), qPrintable(firstLine));
        QVERIFY(aboutEntry);
        QVERIFY(shot);
        QVERIFY(unlockedShot);
    }

    // The memory tools as an operator reaches them: the key typed into
    // "Identity Validation", a register read and a memory test; the console
    // is saved with its dump in the list.
    void unlockReadAndTestMemoryThroughTheWidgets() {
        const std::filesystem::path root = std::filesystem::path(PEMBLOR_SCREENSHOT_DIR) / "e2e_root";
        DesktopOptions options;
        options.root = root.string();
        std::string error;
        auto desktop = Desktop::create(options, error);
        QVERIFY2(desktop, error.c_str());

        QStringList lines;
        bool shot = false;
        desktop->host().addViewHook([&](DialogView& view) {
            if (view.dialog().id() == resources::kIdentityDialogId) {
                QTimer::singleShot(0, &view, [&view] {
                    QTest::keyClicks(view.widget(1064), "61740253");
                    QTest::keyClick(view.widget(1064), Qt::Key_Return);
                });
                return;
            }
            if (view.dialog().id() != resources::kConsoleDialogId) return;
            QTimer::singleShot(0, &view, [&] {
                QVERIFY(QTest::qWaitForWindowExposed(&view));
                QTest::mouseClick(view.widget(kOpenDev), Qt::LeftButton);
                QTest::mouseClick(view.widget(kSuperiorOp), Qt::LeftButton);
                QVERIFY(view.widget(kRead)->isVisible());
                QTest::mouseClick(view.widget(kMemTest), Qt::LeftButton);
                // As picked and typed: "2804 Register" is four items below "bar1   8M".
                auto* type = qobject_cast<QComboBox*>(view.widget(kAddressType));
                type->setFocus();
                for (int i = 0; i < 4; ++i) QTest::keyClick(type, Qt::Key_Down);
                for (int id : {kAddress, kLength}) {
                    auto* edit = qobject_cast<QComboBox*>(view.widget(id))->lineEdit();
                    edit->selectAll();
                    QTest::keyClicks(edit, id == kAddress ? QStringLiteral("0x10") : QStringLiteral("0x40"));
                }
                QTest::mouseClick(view.widget(kRead), Qt::LeftButton);
                view.flushLists();
                auto* list = qobject_cast<QListView*>(view.widget(kOutputList));
                for (int i = 0; i < list->model()->rowCount(); ++i) lines << list->model()->index(i, 0).data().toString();
                // Scrolled back to the start, so the memory test and the dump's head are in view.
                view.dialog().setTopIndex(kOutputList, 0);
                QTest::qWait(50);
                shot = view.grab().save(QStringLiteral(PEMBLOR_SCREENSHOT_DIR "/pemblor_console_memory.png"));
                QTest::mouseClick(view.widget(kExit), Qt::LeftButton);
            });
        });
        QCOMPARE(desktop->run(), ui::kIdOk);
        QVERIFY(lines.contains(QStringLiteral("内外存储器测试完成!         OK")));
        QVERIFY2(lines.contains(QStringLiteral("Read:  Bar=5 Addr=0x00000010 ,Length=64 RCount=256")),
                 qPrintable(lines.join(QLatin1Char('\n'))));
        QVERIFY(shot);
    }
};

}  // namespace pemblor::gui::testing

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setWindowIcon(pemblor::gui::applicationIcon());
    pemblor::gui::testing::EndToEndTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "end_to_end.moc"
