// End to end on a real display (run under xvfb-run): the desktop console as
// the program builds it, over simulated cards. Opens Dev0 through the widgets,
// checks the output list, and saves screenshots of the console into the build
// folder: as it starts, and with the superior-operations group shown.
#include <QApplication>
#include <QComboBox>
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
};

}  // namespace pemblor::gui::testing

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setWindowIcon(pemblor::gui::applicationIcon());
    pemblor::gui::testing::EndToEndTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "end_to_end.moc"
