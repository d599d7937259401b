// The desktop console's "Self-test" entry: on the card the console has open,
// a quick run fills the window's table and the output list, and the table is
// saved as JSON.
#include <QAction>
#include <QCheckBox>
#include <QListView>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

#include "gui/desktop.hpp"
#include "gui/dialog_view.hpp"
#include "gui/selftest_window.hpp"
#include "gui_test_registry.hpp"
#include "resources/console_ids.hpp"
#include "resources/dialogs.hpp"

namespace pemblor::gui::testing {

using namespace resources::console;

class SelfTestWindowTest : public QObject {
    Q_OBJECT

private slots:
    void aQuickRunOnTheOpenCardFillsTheTableAndTheList() {
        QTemporaryDir dir;
        DesktopOptions options;
        options.root = dir.path().toStdString();
        options.cards.assign(1, '0');
        std::string error;
        auto desktop = Desktop::create(options, error);
        QVERIFY2(desktop, error.c_str());
        const std::filesystem::path saved = dir.filePath(QStringLiteral("table.json")).toStdString();
        int rows = 0, failed = -1;
        QString lastLine;
        desktop->host().addViewHook([&](DialogView& view) {
            if (view.dialog().id() != resources::kConsoleDialogId) return;
            QTimer::singleShot(0, &view, [&] {
                QTest::mouseClick(view.widget(kOpenDev), Qt::LeftButton);
                for (QAction* a : view.actions()) {
                    if (a->text() == QStringLiteral("Self-test")) a->trigger();
                }
                auto* window = view.findChild<SelfTestWindow*>();
                QVERIFY(window);
                QCOMPARE(window->windowTitle(), QStringLiteral("Self-test Dev0"));
                window->quickBox()->setChecked(true);
                QTest::mouseClick(window->startButton(), Qt::LeftButton);
                QTRY_VERIFY_WITH_TIMEOUT(window->result().has_value(), 60000);
                rows = window->table()->rowCount();
                failed = 0;
                for (int r = 0; r < rows; ++r) failed += window->table()->item(r, 1)->text() == "FAIL" ? 1 : 0;
                QVERIFY(window->save(saved));
                window->close();
                view.flushLists();
                auto* list = qobject_cast<QListView*>(view.widget(kOutputList));
                lastLine = list->model()->index(list->model()->rowCount() - 1, 0).data().toString();
                QTest::mouseClick(view.widget(kExit), Qt::LeftButton);
            });
        });
        QCOMPARE(desktop->run(), ui::kIdOk);
        QCOMPARE(rows, 42);
        QCOMPARE(failed, 0);
        QVERIFY2(lastLine.startsWith(QStringLiteral("42 checks on \\\\.\\KSVECWDM0: 40 passed, 0 failed, 2 skipped")),
                 qPrintable(lastLine));
        std::ifstream in(saved);
        const nlohmann::json doc = nlohmann::json::parse(std::string(std::istreambuf_iterator<char>(in), {}));
        QCOMPARE(doc["result"].get<std::string>(), std::string("pass"));
        QCOMPARE(doc["checks"].size(), std::size_t{42});
    }
};

PEMBLOR_GUI_TEST(SelfTestWindowTest);

}  // namespace pemblor::gui::testing

#include "selftest_window_test.moc"
