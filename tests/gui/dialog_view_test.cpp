// The generic dialog view: every control kind in both directions, keys, the
// program's five dialogs, sorted lists and a long output list.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "gui/console_layout.hpp"
#include "gui/control_widgets.hpp"
#include "gui/dialog_view.hpp"
#include "gui/item_list_model.hpp"
#include "gui/render_surface.hpp"
#include "gui_test_registry.hpp"
#include "resources/console_ids.hpp"
#include "resources/dialogs.hpp"
#include "test_dialogs.hpp"
#include "ui/dialog.hpp"

namespace pemblor::gui::testing {

namespace {

template <class W>
W* as(DialogView& v, int id) {
    return qobject_cast<W*>(v.widget(id));
}

// The caption as the window system shows it: "&&" is one '&', a lone '&' marks a mnemonic.
QString visibleCaption(QString s) {
    s.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    s.remove(QLatin1Char('&'));
    s.replace(QStringLiteral("\x01"), QStringLiteral("&"));
    return s;
}

QString visibleCaption(const std::string& caption) { return visibleCaption(QString::fromStdString(caption)); }

// What a widget shows as its caption (buttons and group boxes keep the mnemonic notation).
QString shownText(QWidget* w) {
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return visibleCaption(b->text());
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text();
    if (auto* g = qobject_cast<QGroupBox*>(w)) return visibleCaption(g->title());
    return {};
}

bool kindMatches(ui::ControlKind kind, QWidget* w) {
    using K = ui::ControlKind;
    switch (kind) {
    case K::Button:
    case K::DefaultButton: return qobject_cast<QPushButton*>(w) != nullptr;
    case K::CheckBox: return qobject_cast<QCheckBox*>(w) != nullptr;
    case K::Label: return qobject_cast<QLabel*>(w) != nullptr;
    case K::GroupBox: return qobject_cast<QGroupBox*>(w) != nullptr;
    case K::Edit: return qobject_cast<QLineEdit*>(w) != nullptr;
    case K::MultiLineEdit: return qobject_cast<QPlainTextEdit*>(w) != nullptr;
    case K::ListBox: return qobject_cast<QListView*>(w) != nullptr;
    case K::DropDownList: return qobject_cast<QComboBox*>(w) && !qobject_cast<QComboBox*>(w)->isEditable();
    case K::ComboBox: return qobject_cast<QComboBox*>(w) && qobject_cast<QComboBox*>(w)->isEditable();
    case K::VideoArea: return qobject_cast<RenderSurface*>(w) != nullptr;
    }
    return false;
}

// The process's resident memory, for the figures the long-list test prints.
long residentKiB() {
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QList<QByteArray> fields = f.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLong() * 4 : 0;
}

// Visible controls of a shown view that overlap one another (group boxes frame others and are left out).
QStringList overlaps(DialogView& v) {
    QStringList out;
    const auto& controls = v.dialog().controls();
    for (std::size_t i = 0; i < controls.size(); ++i) {
        QWidget* a = v.widgetAt(static_cast<int>(i));
        if (controls[i].kind == ui::ControlKind::GroupBox || !a->isVisible()) continue;
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            QWidget* b = v.widgetAt(static_cast<int>(j));
            if (controls[j].kind == ui::ControlKind::GroupBox || !b->isVisible()) continue;
            if (a->geometry().intersects(b->geometry())) {
                out << QStringLiteral("%1 '%2' / %3 '%4'")
                           .arg(controls[i].id)
                           .arg(shownText(a))
                           .arg(controls[j].id)
                           .arg(shownText(b));
            }
        }
    }
    return out;
}

// Captions that do not fit their control.
QStringList clippedCaptions(DialogView& v) {
    QStringList out;
    for (std::size_t i = 0; i < v.dialog().controls().size(); ++i) {
        QWidget* w = v.widgetAt(static_cast<int>(i));
        if (!w->isVisible()) continue;
        const QString text = shownText(w);
        if (text.isEmpty()) continue;
        int need = w->fontMetrics().horizontalAdvance(text);
        if (qobject_cast<QPushButton*>(w)) need += 8;
        if (qobject_cast<QCheckBox*>(w)) need += 20;
        if (qobject_cast<QGroupBox*>(w)) continue;
        if (need > w->width()) out << QStringLiteral("%1 '%2'").arg(v.dialog().controls()[i].id).arg(text);
    }
    return out;
}

}  // namespace

class DialogViewTest : public QObject {
    Q_OBJECT

private slots:
    // A family that is not installed falls back to a fixed-pitch one.
    void missingFamilyFallsBackToFixedPitch() {
        ui::DialogTemplate t;
        t.font = "No Such Family 7f3a";
        const QFontMetrics m(dialogFont(t));
        QCOMPARE(m.horizontalAdvance(QLatin1Char('i')), m.horizontalAdvance(QLatin1Char('W')));
        QCOMPARE(m.horizontalAdvance(QLatin1Char('.')), m.horizontalAdvance(QLatin1Char('M')));
    }

    void buildsTheFiveDialogs_data() {
        QTest::addColumn<int>("dialogId");
        for (int id : {resources::kAboutDialogId, resources::kConsoleDialogId, resources::kPlayerDialogId,
                       resources::kPreviewDialogId, resources::kIdentityDialogId}) {
            QTest::newRow(qPrintable(QString::number(id))) << id;
        }
    }

    void buildsTheFiveDialogs() {
        QFETCH(int, dialogId);
        const ui::DialogTemplate* t = resources::dialogById(dialogId);
        QVERIFY(t);
        ui::Dialog d(*t);
        DialogView v(d);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        QCOMPARE(v.windowTitle(), QString::fromStdString(t->caption));
        // Monospaced by measure: the font database's flag differs between families.
        QCOMPARE(v.fontMetrics().horizontalAdvance(QLatin1Char('i')), v.fontMetrics().horizontalAdvance(QLatin1Char('W')));
        if (QFontDatabase::hasFamily(QString::fromStdString(t->font)))
            QCOMPARE(QFontInfo(v.font()).family(), QString::fromStdString(t->font));
        QCOMPARE(v.size(), QSize(t->rect.width, t->rect.height));
        for (std::size_t i = 0; i < d.controls().size(); ++i) {
            const ui::Control& c = d.controls()[i];
            QWidget* w = v.widgetAt(static_cast<int>(i));
            QVERIFY2(w && kindMatches(c.kind, w), qPrintable(QString::number(c.id)));
            QCOMPARE(w->isVisible(), c.visible);
            QCOMPARE(w->isEnabled(), c.enabled);
            QVERIFY2(v.rect().contains(w->geometry()), qPrintable(QString::number(c.id)));
            if (c.kind != ui::ControlKind::Edit && c.kind != ui::ControlKind::MultiLineEdit && !c.hasItems() &&
                c.kind != ui::ControlKind::VideoArea) {
                QCOMPARE(shownText(w), visibleCaption(c.text));
            }
            if (c.hasItems()) QCOMPARE(v.listModel(c.id)->rowCount(), static_cast<int>(c.items.size()));
        }
        const QStringList over = overlaps(v);
        QVERIFY2(over.isEmpty(), qPrintable(over.join(QStringLiteral(", "))));
        const QStringList clipped = clippedCaptions(v);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral(", "))));
    }

    void dialogSpecifics() {
        ui::Dialog console(resources::consoleDialog());
        DialogView cv(console);
        QVERIFY(as<QPushButton>(cv, resources::console::kClear)->isDefault());
        QVERIFY(!as<QPushButton>(cv, resources::console::kOpenDev)->isDefault());
        QCOMPARE(as<QComboBox>(cv, resources::console::kDevice)->count(), 32);
        QCOMPARE(as<QComboBox>(cv, resources::console::kDevice)->itemText(10), QStringLiteral("Dev10"));
        QVERIFY(as<QLabel>(cv, resources::console::kEmailLabel));
        QVERIFY(cv.maximumSize() == cv.minimumSize());  // fixed size, minimise box only
        QVERIFY(cv.windowFlags() & Qt::WindowMinimizeButtonHint);

        ui::Dialog identity(resources::identityDialog());
        DialogView iv(identity);
        auto* key = as<QLineEdit>(iv, 1064);
        QCOMPARE(key->echoMode(), QLineEdit::Password);
        QCOMPARE(key->maxLength(), 20);
        QVERIFY(!as<QPlainTextEdit>(iv, 1063)->isEnabled());
        QVERIFY(as<QPushButton>(iv, ui::kIdOk)->isDefault());
        QCOMPARE(as<QPushButton>(iv, ui::kIdOk)->text(), QStringLiteral("Enter"));
        const auto labels = iv.findChildren<QLabel*>();
        QVERIFY(std::any_of(labels.begin(), labels.end(), [](QLabel* l) {
            return l->text() == QStringLiteral("Key:") && (l->alignment() & Qt::AlignRight);
        }));

        ui::Dialog player(resources::playerDialog());
        DialogView pv(player);
        QVERIFY(pv.surface(1037));
        QCOMPARE(pv.surface(1037)->geometry(), QRect(15, 15, 640 - 30, 530 - 50));
        QVERIFY(pv.windowFlags() & Qt::WindowMaximizeButtonHint);

        ui::Dialog preview(resources::previewDialog());
        DialogView rv(preview);
        QRect all;
        for (int id : {1005, 1023, 1013, 1014}) {
            QVERIFY(rv.surface(id));
            all |= rv.surface(id)->geometry();
        }
        QCOMPARE(all, QRect(12, 12, 892, 672));  // the Single-mode area
    }

    void consoleStaysTidyWithTheHiddenGroupShown() {
        ui::Dialog d(resources::consoleDialog());
        applyConsoleLayout(d);
        DialogView v(d);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        // As an unlock leaves it: every hidden control shown, the list at two thirds of its height.
        for (const ui::Control& c : d.controls()) {
            if (c.id != ui::kNoId && !c.visible) d.setVisible(c.id, true);
        }
        ui::Rect list = d.control(resources::console::kOutputList).rect;
        list.height = list.height * 2 / 3;
        d.setGeometry(resources::console::kOutputList, list);
        const QStringList over = overlaps(v);
        QVERIFY2(over.isEmpty(), qPrintable(over.join(QStringLiteral(", "))));
        const QStringList clipped = clippedCaptions(v);
        QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join(QStringLiteral(", "))));
        // A window of this client size fits a 1280 x 800 screen with its frame.
        QVERIFY(v.width() <= 1260 && v.height() <= 770);
    }

    void channelSwitchesStandBesideTheirLines() {
        using namespace resources::console;
        ui::Dialog d(resources::consoleDialog());
        applyConsoleLayout(d);
        const int lines[4] = {kChan1Line, kChan2Line, kChan3Line, kChan4Line};
        for (int row = 0; row < 4; ++row) {
            const ui::Rect line = d.control(lines[row]).rect;
            const ui::Rect left = d.control(kChannelSwitchFirst + row).rect;
            const ui::Rect right = d.control(kChannelSwitchFirst + 4 + row).rect;
            QCOMPARE(left.y + left.height / 2, line.y + line.height / 2);
            QCOMPARE(right.y, left.y);
            QVERIFY(line.x + line.width < left.x && left.x + left.width < right.x);
            if (row > 0) QCOMPARE(left.x, d.control(kChannelSwitchFirst).rect.x);
        }
        // The channel line still has room for its widest text.
        DialogView v(d);
        const int need = v.fontMetrics().horizontalAdvance(QStringLiteral("CH1:FN:FFFF BR:999kb 25/25/25/25 FF"));
        QVERIFY(v.widget(kChan1Line)->width() >= need);
    }

    void modelChangesReachTheWidgets() {
        ui::Dialog d(everyKindDialog());
        DialogView v(d);
        v.show();
        d.setText(kButton, "Pressed");
        QCOMPARE(as<QPushButton>(v, kButton)->text(), QStringLiteral("Pressed"));
        d.setText(kLabel, "CH1:FN:0000 BR:000kb");
        QCOMPARE(as<QLabel>(v, kLabel)->text(), QStringLiteral("CH1:FN:0000 BR:000kb"));
        d.setText(kEdit, "0x00");
        QCOMPARE(as<QLineEdit>(v, kEdit)->text(), QStringLiteral("0x00"));
        d.setText(kMultiLine, "0x0041FFF0 HSR\r\n0x0041FFF4 HDCR");
        QCOMPARE(as<QPlainTextEdit>(v, kMultiLine)->toPlainText(), QStringLiteral("0x0041FFF0 HSR\n0x0041FFF4 HDCR"));
        d.setText(kVideo, "render_open failed!");
        QCOMPARE(v.surface(kVideo)->text(), QStringLiteral("render_open failed!"));
        d.setText(kCombo, "0x1234");
        QCOMPARE(as<QComboBox>(v, kCombo)->currentText(), QStringLiteral("0x1234"));

        d.setEnabled(kButton, false);
        QVERIFY(!v.widget(kButton)->isEnabled());
        d.setVisible(kHidden, true);
        QVERIFY(v.widget(kHidden)->isVisible());
        d.setVisible(kList, false);
        QVERIFY(!v.widget(kList)->isVisible());
        d.setVisible(kList, true);
        d.setChecked(kCheck, true);
        QVERIFY(as<QCheckBox>(v, kCheck)->isChecked());
        d.setGeometry(kList, {220, 92, 180, 60});
        QCOMPARE(v.widget(kList)->geometry(), QRect(220, 92, 180, 60));

        d.setSelection(kDropDown, 2);
        QCOMPARE(as<QComboBox>(v, kDropDown)->currentIndex(), 2);
        QCOMPARE(as<QComboBox>(v, kDropDown)->currentText(), QStringLiteral("Dev2"));
        d.setSelection(kCombo, 0);  // sorted: "0x04"
        QCOMPARE(as<QComboBox>(v, kCombo)->currentText(), QStringLiteral("0x04"));
        d.setSelection(kList, 1);
        QCOMPARE(as<QListView>(v, kList)->currentIndex().row(), 1);
        d.setSelection(kList, -1);
        QVERIFY(as<QListView>(v, kList)->selectionModel()->selectedIndexes().isEmpty());

        auto* list = as<QListView>(v, kList);
        d.addItem(kList, "four");
        d.removeItem(kList, 0);
        QCoreApplication::processEvents();
        QCOMPARE(list->model()->rowCount(), 3);
        QCOMPARE(list->model()->index(0, 0).data().toString(), QStringLiteral("two"));
        QCOMPARE(list->model()->index(2, 0).data().toString(), QStringLiteral("four"));
        d.clearItems(kList);
        QCOMPARE(list->model()->rowCount(), 0);
        for (int i = 0; i < 200; ++i) d.addItem(kList, "line " + std::to_string(i));
        d.setTopIndex(kList, 150);
        QCOMPARE(list->indexAt(QPoint(3, 3)).row(), 150);

        // Read-only follows the model's style.
        QVERIFY(as<QLineEdit>(v, kReadOnlyEdit)->isReadOnly());
        QVERIFY(!as<QLineEdit>(v, kEdit)->isReadOnly());
        d.setReadOnly(kEdit, true);
        QVERIFY(as<QLineEdit>(v, kEdit)->isReadOnly());
        d.setReadOnly(kEdit, false);
        QVERIFY(!as<QLineEdit>(v, kEdit)->isReadOnly());

        // The dialog ends: the view closes with the result.
        d.end(ui::kIdCancel);
        QVERIFY(!v.isVisible());
        QCOMPARE(v.result(), ui::kIdCancel);
    }

    void userActionsReachTheModel() {
        ui::Dialog d(everyKindDialog());
        DialogView v(d);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        int pushes = 0, checks = 0, labelClicks = 0;
        d.onClick(kButton, [&] { ++pushes; });
        d.onClick(kCheck, [&] { ++checks; });
        d.onClick(kClickLabel, [&] { ++labelClicks; });

        QTest::mouseClick(v.widget(kButton), Qt::LeftButton);
        QCOMPARE(pushes, 1);
        d.setEnabled(kButton, false);
        QTest::mouseClick(v.widget(kButton), Qt::LeftButton);
        QCOMPARE(pushes, 1);

        QTest::keyClick(v.widget(kCheck), Qt::Key_Space);
        QCOMPARE(checks, 1);
        QVERIFY(d.checked(kCheck));
        QTest::mouseClick(v.widget(kCheck), Qt::LeftButton, {}, QPoint(6, v.widget(kCheck)->height() / 2));
        QCOMPARE(checks, 2);
        QVERIFY(!d.checked(kCheck));
        QVERIFY(!as<QCheckBox>(v, kCheck)->isChecked());

        QTest::mouseClick(v.widget(kClickLabel), Qt::LeftButton);
        QCOMPARE(labelClicks, 1);
        QTest::mouseClick(v.widget(kLabel), Qt::LeftButton);  // a plain label reports nothing
        QCOMPARE(labelClicks, 1);

        QTest::keyClicks(v.widget(kEdit), "0x41ff");
        QCOMPARE(d.text(kEdit), std::string("0x41ff"));
        QTest::keyClicks(v.widget(kUpperEdit), "abcdefgh");
        QCOMPARE(d.text(kUpperEdit), std::string("ABCDEF"));
        QCOMPARE(as<QLineEdit>(v, kUpperEdit)->text(), QStringLiteral("ABCDEF"));
        QCOMPARE(as<QLineEdit>(v, kPassword)->echoMode(), QLineEdit::Password);
        QTest::keyClicks(v.widget(kPassword), "617402531234567890123456");
        QCOMPARE(d.text(kPassword), std::string("61740253123456789012"));
        QTest::keyClicks(v.widget(kReadOnlyEdit), "xyz");
        QCOMPARE(d.text(kReadOnlyEdit), std::string("fixed"));

        auto* multi = as<QPlainTextEdit>(v, kMultiLine);
        QTest::keyClicks(multi, "12 ab");
        QCOMPARE(d.text(kMultiLine), std::string("12 AB"));
        QCOMPARE(multi->toPlainText(), QStringLiteral("12 AB"));
        QTest::keyClick(multi, Qt::Key_Return, Qt::ControlModifier);  // Ctrl+Enter: a line break
        QTest::keyClicks(multi, "cd");
        QCOMPARE(d.text(kMultiLine), std::string("12 AB\r\nCD"));
        QCOMPARE(d.lineCount(kMultiLine), std::size_t{2});

        auto* list = as<QListView>(v, kList);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(2, 0)).center());
        QCOMPARE(d.selection(kList), 2);
        QCOMPARE(d.selectedText(kList), std::string("three"));

        auto* drop = as<QComboBox>(v, kDropDown);
        QTest::keyClick(drop, Qt::Key_Down);
        QCOMPARE(d.selection(kDropDown), 0);
        QTest::keyClick(drop, Qt::Key_Down);
        QCOMPARE(d.selection(kDropDown), 1);
        QCOMPARE(d.text(kDropDown), std::string("Dev1"));

        auto* combo = as<QComboBox>(v, kCombo);
        QTest::keyClicks(combo->lineEdit(), "0x10");
        QCOMPARE(d.text(kCombo), std::string("0x10"));
        QCOMPARE(d.selection(kCombo), -1);
        QCOMPARE(combo->count(), 3);  // typing adds no item
    }

    void enterPressesTheDefaultButtonAndEscCancels() {
        using namespace resources::console;
        ui::Dialog d(resources::consoleDialog());
        d.onClick(kClear, [&] { d.clearItems(kOutputList); });
        int opens = 0;
        d.onClick(kOpenDev, [&] { ++opens; });
        bool cancelled = false;
        d.onCancel([&] { cancelled = true; });
        DialogView v(d);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));

        d.addItem(kOutputList, "a line");
        QTest::keyClick(v.widget(kOutputList), Qt::Key_Return);
        QCOMPARE(d.itemCount(kOutputList), std::size_t{0});

        // The multi-line edits do not take Enter as a line break: it clears the list.
        d.addItem(kOutputList, "a line");
        const std::string watch = "0x0041FFF0 HSR";
        d.setText(kWatchAddresses, watch);
        QTest::keyClick(v.widget(kWatchAddresses), Qt::Key_Enter);
        QCOMPARE(d.itemCount(kOutputList), std::size_t{0});
        QCOMPARE(d.text(kWatchAddresses), watch);

        // A focused push button takes Enter itself.
        d.addItem(kOutputList, "a line");
        QTest::keyClick(v.widget(kOpenDev), Qt::Key_Return);
        QCOMPARE(opens, 1);
        QCOMPARE(d.itemCount(kOutputList), std::size_t{1});

        QTest::keyClick(v.widget(kDevice), Qt::Key_Escape);
        QVERIFY(cancelled);
        QVERIFY(d.ended());
        QCOMPARE(d.result(), ui::kIdCancel);
        QVERIFY(!v.isVisible());
    }

    void closeBoxCancels() {
        ui::Dialog d(everyKindDialog());
        DialogView v(d);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        v.close();
        QVERIFY(d.ended());
        QCOMPARE(d.result(), ui::kIdCancel);
    }

    void sortedListShowsSortedOrderAndIndexesFollowIt() {
        ui::Dialog d(everyKindDialog());
        DialogView v(d);
        v.show();
        auto* list = as<QListView>(v, kSortedList);
        auto row = [&](int i) { return list->model()->index(i, 0).data().toString(); };
        QCOMPARE(list->model()->rowCount(), 4);
        QCOMPARE(row(0), QStringLiteral("alpha"));
        QCOMPARE(row(1), QStringLiteral("bravo"));
        QCOMPARE(row(2), QStringLiteral("Charlie"));
        QCOMPARE(row(3), QStringLiteral("Delta"));
        QCOMPARE(static_cast<int>(d.addItem(kSortedList, "Bob")), 1);
        QCOMPARE(row(1), QStringLiteral("Bob"));
        // Index 3 is the fourth item in sorted order, in model and widget alike.
        d.setSelection(kSortedList, 3);
        QCOMPARE(list->currentIndex().data().toString(), QStringLiteral("Charlie"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(4, 0)).center());
        QCOMPARE(d.selection(kSortedList), 4);
        QCOMPARE(d.selectedText(kSortedList), std::string("Delta"));
        // An insertion before the selection moves it with its item.
        d.addItem(kSortedList, "aardvark");
        QCOMPARE(d.selectedText(kSortedList), std::string("Delta"));
        QCOMPARE(list->currentIndex().data().toString(), QStringLiteral("Delta"));
    }

    void hundredThousandLinesInTheOutputList() {
        using namespace resources::console;
        ui::Dialog d(resources::consoleDialog());
        DialogView v(d);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        auto* list = as<QListView>(v, kOutputList);
        constexpr int kLines = 100000;
        const long rssBefore = residentKiB();
        QElapsedTimer timer;
        timer.start();
        char line[64];
        for (int i = 0; i < kLines; ++i) {
            std::snprintf(line, sizeof line, "Read 0x%08X: 00 11 22 33 44 55 66 77", i);
            d.addItem(kOutputList, line);
        }
        QCoreApplication::processEvents();
        list->scrollToBottom();
        QCoreApplication::processEvents();
        qInfo("appending %d lines and showing the last: %lld ms; list items hold %zu KiB, process grew %ld KiB",
              kLines, static_cast<long long>(timer.elapsed()), d.control(kOutputList).items.capacityBytes() / 1024,
              residentKiB() - rssBefore);
        QCOMPARE(list->model()->rowCount(), kLines);
        // The last line is in view after scrolling to the end.
        QVERIFY(list->viewport()->rect().contains(list->visualRect(list->model()->index(kLines - 1, 0))));
        QCOMPARE(list->model()->index(kLines - 1, 0).data().toString(),
                 QStringLiteral("Read 0x%1: 00 11 22 33 44 55 66 77").arg(kLines - 1, 8, 16, QLatin1Char('0')).toUpper()
                     .replace(QStringLiteral("READ 0X"), QStringLiteral("Read 0x")));
        d.setSelection(kOutputList, kLines - 1);
        QCOMPARE(list->currentIndex().row(), kLines - 1);
        d.setTopIndex(kOutputList, 50000);
        QCOMPARE(list->indexAt(QPoint(3, 3)).row(), 50000);
        d.clearItems(kOutputList);
        QCOMPARE(list->model()->rowCount(), 0);
    }
};

PEMBLOR_GUI_TEST(DialogViewTest);

}  // namespace pemblor::gui::testing

#include "dialog_view_test.moc"
