// The Qt host: message boxes, modal runs with nested dialogs, timers, file
// dialogs and their filters.
#include <QAbstractItemView>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <fstream>

#include "gui/dialog_view.hpp"
#include "gui/file_filter.hpp"
#include "gui/qt_host.hpp"
#include "gui_test_registry.hpp"
#include "modal_driver.hpp"
#include "resources/dialogs.hpp"
#include "test_dialogs.hpp"
#include "ui/dialog.hpp"

namespace pemblor::gui::testing {

namespace {
const char* const kCmdFilter = "CMD Files(*.cmd)|*.cmd|All Files(*.*)|*.*||";

void touch(const std::filesystem::path& p) { std::ofstream(p) << "x"; }

// A file dialog has listed its folder (the listing is gathered on a thread of its own).
bool listed(QFileDialog* box) {
    auto* view = box->findChild<QAbstractItemView*>(QStringLiteral("listView"));
    return view && view->model() && view->model()->rowCount(view->rootIndex()) > 0;
}
}  // namespace

class QtHostTest : public QObject {
    Q_OBJECT

private slots:
    void filtersInTheConsolesNotation() {
        QCOMPARE(qtNameFilters(kCmdFilter), (QStringList{"CMD Files(*.[cC][mM][dD])", "All Files(*)"}));
        QCOMPARE(qtNameFilters("IMG Files(*.img)|*.img|All Files(*.*)|*.*||"),
                 (QStringList{"IMG Files(*.[iI][mM][gG])", "All Files(*)"}));
        QCOMPARE(qtNameFilters("Streams|*.264;*.h264||"), (QStringList{"Streams (*.264 *.[hH]264)"}));
        QCOMPARE(qtNameFilters("Odd|"), QStringList{});
        QCOMPARE(qtNameFilters(""), QStringList{});
        QCOMPARE(qtNameFilters("A|*.a||B|*.b||"), QStringList{"A (*.[aA])"});  // "||" ends the list
    }

    void messageBoxHasNoCaptionOfItsOwnAndAnOkButton() {
        QtHost host(std::filesystem::temp_directory_path());
        QString text, title;
        bool okOnly = false;
        whenModal<QMessageBox>([&](QMessageBox* box) {
            text = box->text();
            title = box->windowTitle();
            okOnly = box->buttons().size() == 1 && box->standardButtons() == QMessageBox::Ok;
            box->button(QMessageBox::Ok)->click();
        });
        host.messageBox(nullptr, "Device is not open, failed!");
        QCOMPARE(text, QStringLiteral("Device is not open, failed!"));
        QVERIFY(title.isEmpty());
        QVERIFY(okOnly);
    }

    void modalRunWithANestedMessageBox() {
        // The key dialog: a wrong key gives a message box and the dialog stays; the right one accepts.
        QtHost host(std::filesystem::temp_directory_path());
        ui::Dialog d(resources::identityDialog());
        d.onClick(ui::kIdOk, [&] {
            if (d.text(1064) == "61740253") {
                d.end(ui::kIdOk);
            } else {
                host.messageBox(&d, "Wrong key!");
            }
        });
        QStringList messages;
        host.addViewHook([&](DialogView& view) {
            QTimer::singleShot(0, &view, [&] {
                QTest::keyClicks(view.widget(1064), "6174025");
                whenModal<QMessageBox>([&](QMessageBox* box) {
                    messages << box->text();
                    QVERIFY(box->parentWidget() == &view);
                    box->button(QMessageBox::Ok)->click();
                    QVERIFY(!d.ended());
                    QTest::keyClicks(view.widget(1064), "3");
                    QTest::keyClick(view.widget(1064), Qt::Key_Return);
                });
                QTest::keyClick(view.widget(1064), Qt::Key_Return);
            });
        });
        QCOMPARE(host.runModal(d), ui::kIdOk);
        QCOMPARE(messages, QStringList{"Wrong key!"});
        QVERIFY(host.topView() == nullptr);
    }

    void escEndsAModalRunCancelled() {
        QtHost host(std::filesystem::temp_directory_path());
        ui::Dialog d(resources::playerDialog());
        host.addViewHook([](DialogView& view) {
            QTimer::singleShot(0, &view, [&view] { QTest::keyClick(view.widget(1005), Qt::Key_Escape); });
        });
        QCOMPARE(host.runModal(d), ui::kIdCancel);
        // Shown again, the same dialog object runs anew.
        QCOMPARE(host.runModal(d), ui::kIdCancel);
    }

    void timersTickUntilKilledEvenFromTheirOwnHandler() {
        QtHost host(std::filesystem::temp_directory_path());
        ui::Dialog d(everyKindDialog());
        std::vector<int> ticks;
        d.onTimer([&](int id) {
            ticks.push_back(id);
            if (id == 1 && std::count(ticks.begin(), ticks.end(), 1) == 3) {
                host.killTimer(d, 1);
                d.end(ui::kIdOk);
            }
        });
        host.addViewHook([&](DialogView&) {
            host.setTimer(d, 1, 5);
            host.setTimer(d, 2, 1000000);
        });
        QCOMPARE(host.runModal(d), ui::kIdOk);
        QCOMPARE(std::count(ticks.begin(), ticks.end(), 1), 3);
        QCOMPARE(std::count(ticks.begin(), ticks.end(), 2), 0);
        // The modal run's end stops the dialog's other timers too.
        QVERIFY(!host.timerActive(d, 1));
        QVERIFY(!host.timerActive(d, 2));
    }

    void openFileDialogUsesFilterAndRoot() {
        QTemporaryDir dir;
        const std::filesystem::path root = dir.path().toStdString();
        touch(root / "data.cmd");
        touch(root / "DATA2.CMD");
        touch(root / "notes.txt");
        QtHost host(root);
        QTemporaryDir samples;
        host.addPlace(samples.path().toStdString());
        QStringList filters, listedNames;
        QString shownDir, nameBox;
        QList<QUrl> places;
        whenModal<QFileDialog>([&](QFileDialog* box) {
            filters = box->nameFilters();
            places = box->sidebarUrls();
            shownDir = box->directory().absolutePath();
            nameBox = box->findChild<QLineEdit*>()->text();
            auto* view = box->findChild<QAbstractItemView*>(QStringLiteral("listView"));
            for (int r = 0; r < view->model()->rowCount(view->rootIndex()); ++r) {
                listedNames << view->model()->index(r, 0, view->rootIndex()).data().toString();
            }
            listedNames.sort();
            box->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("data.cmd"));
            box->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))->button(QDialogButtonBox::Open)->click();
        }, listed);
        const auto picked = host.openFile({kCmdFilter, "CMD", "*.cmd"});
        QVERIFY(picked.has_value());
        QCOMPARE(*picked, root / "data.cmd");
        QCOMPARE(filters, (QStringList{"CMD Files(*.[cC][mM][dD])", "All Files(*)"}));
        QCOMPARE(shownDir, dir.path());
        QVERIFY(places.contains(QUrl::fromLocalFile(samples.path())));
        QVERIFY(nameBox.isEmpty());  // the "*.cmd" pattern is not taken for a file name
        QCOMPARE(listedNames, (QStringList{"DATA2.CMD", "data.cmd"}));  // either case, nothing else

        whenModal<QFileDialog>([](QFileDialog* box) { box->reject(); });
        QVERIFY(!host.openFile({kCmdFilter, "CMD", "*.cmd"}).has_value());
    }

    void saveFileAddsTheDefaultExtensionAndAsksBeforeOverwriting() {
        QTemporaryDir dir;
        const std::filesystem::path root = dir.path().toStdString();
        touch(root / "old.CMD");
        QtHost host(root);
        whenModal<QFileDialog>([](QFileDialog* box) {
            box->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("fresh"));
            box->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))->button(QDialogButtonBox::Save)->click();
        }, listed);
        auto saved = host.saveFile({kCmdFilter, "CMD", "*.cmd"});
        QVERIFY(saved.has_value());
        QCOMPARE(*saved, root / "fresh.CMD");

        // An existing file: the dialog asks first; "No" keeps the dialog open, "Yes" takes the file.
        QStringList questions;
        auto answer = [&](QMessageBox::StandardButton button) {
            whenModal<QFileDialog>([&questions, button](QFileDialog* box) {
                whenModal<QMessageBox>([&questions, button, box](QMessageBox* q) {
                    questions << q->text();
                    q->button(button)->click();
                    // Still open after "No": give up.
                    if (button == QMessageBox::No) QTimer::singleShot(0, box, [box] { box->reject(); });
                });
                // As an operator does it: the name typed, then the Save button.
                box->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("old.CMD"));
                box->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))->button(QDialogButtonBox::Save)->click();
            }, listed);
        };
        answer(QMessageBox::No);
        QVERIFY(!host.saveFile({kCmdFilter, "CMD", "*.cmd"}).has_value());
        answer(QMessageBox::Yes);
        saved = host.saveFile({kCmdFilter, "CMD", "*.cmd"});
        QCOMPARE(questions.size(), 2);
        QVERIFY(questions.front().contains(QStringLiteral("old.CMD")));
        QVERIFY(saved.has_value());
        QCOMPARE(*saved, root / "old.CMD");
    }

    void sleepBlocksAtLeastTheTime() {
        QtHost host(std::filesystem::temp_directory_path());
        QElapsedTimer t;
        t.start();
        host.sleep(20);
        QVERIFY(t.elapsed() >= 20);
        const ui::LocalTime now = host.now();
        QVERIFY(now.year >= 2024 && now.month >= 1 && now.month <= 12);
    }
};

PEMBLOR_GUI_TEST(QtHostTest);

}  // namespace pemblor::gui::testing

#include "qt_host_test.moc"
