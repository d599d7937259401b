// End to end on a real display (run under xvfb-run): the desktop console
// receives from a card in service, plays its sub-stream 2 and previews its
// four channels, in four areas and in Single mode; screenshots of each go into
// the build folder (pemblor_player.png, pemblor_player_maximized.png,
// pemblor_preview.png, pemblor_preview_single.png).
#include <QApplication>
#include <QTest>
#include <QTimer>

#include "gui/app_icon.hpp"
#include "card_in_service.hpp"
#include "gui/desktop.hpp"
#include "gui/dialog_view.hpp"
#include "gui/render_surface.hpp"
#include "resources/console_ids.hpp"
#include "resources/dialogs.hpp"
#include "video/player_window.hpp"
#include "video/preview_window.hpp"

namespace pemblor::gui::testing {

namespace console = resources::console;

namespace {

constexpr int kWaitMs = 30000;

bool save(QWidget& w, const char* name) {
    return w.grab().save(QStringLiteral(PEMBLOR_SCREENSHOT_DIR "/") + QLatin1String(name));
}

// Whatever happens, a window that a step drives closes when the step ends,
// so that a failed check ends the test instead of leaving a modal window open.
struct ClosesAtEnd {
    DialogView& view;
    ~ClosesAtEnd() { view.dialog().cancel(); }
};

// A surface that has shown at least n pictures.
bool showing(DialogView& view, int area, std::uint64_t n) {
    const RenderSurface* s = view.surface(area);
    return s && s->paintedPictures() >= n && !s->picture().isNull();
}

}  // namespace

class VideoEndToEnd : public QObject {
    Q_OBJECT

private slots:
    void playAndPreviewACardInService() {
        QVERIFY2(qgetenv("QT_QPA_PLATFORM") != "offscreen", "meant for a display (xvfb-run)");
        std::string error;
        auto desktop = testing::desktopWithCardInService("video_root", error);
        QVERIFY2(desktop, error.c_str());

        QStringList done;
        QString playerInfo;
        desktop->host().addViewHook([&](DialogView& view) {
            const int id = view.dialog().id();
            QTimer::singleShot(0, &view, [&, id] {
                QVERIFY(QTest::qWaitForWindowExposed(&view));
                if (id == resources::kConsoleDialogId) return driveConsole(view);
                if (id == resources::kPlayerDialogId) return drivePlayer(view, done, playerInfo);
                if (id == resources::kPreviewDialogId) return drivePreview(view, done);
            });
        });
        QCOMPARE(desktop->run(), ui::kIdOk);
        QCOMPARE(done, (QStringList{"player", "player maximized", "preview", "preview single"}));
        QCOMPARE(playerInfo.left(6), QStringLiteral("W:0 B:"));
    }

private:
    static void driveConsole(DialogView& view) {
        const ClosesAtEnd closes{view};
        QTest::mouseClick(view.widget(console::kOpenDev), Qt::LeftButton);
        QTest::mouseClick(view.widget(console::kRecvData), Qt::LeftButton);
        view.dialog().select(console::kStream, 5);  // SubChan2
        // Each click runs its window modally; the window's own hook drives it.
        QTest::mouseClick(view.widget(console::kPlay), Qt::LeftButton);
        QTest::mouseClick(view.widget(console::kPreview), Qt::LeftButton);
        QTest::mouseClick(view.widget(console::kExit), Qt::LeftButton);
    }

    static void drivePlayer(DialogView& view, QStringList& done, QString& info) {
        using namespace video::player;
        const ClosesAtEnd closes{view};
        QTest::mouseClick(view.widget(kStart), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(showing(view, kVideoArea, 25), kWaitMs);
        QTest::qWait(200);
        if (save(view, "pemblor_player.png")) done << "player";
        view.showMaximized();
        QTRY_VERIFY_WITH_TIMEOUT(view.surface(kVideoArea)->width() == view.width(), kWaitMs);
        QTest::qWait(300);
        if (save(view, "pemblor_player_maximized.png")) done << "player maximized";
        view.showNormal();
        QTest::mouseClick(view.widget(kStatistic), Qt::LeftButton);
        info = QString::fromStdString(view.dialog().text(kInfo));
        QTest::mouseClick(view.widget(ui::kIdOk), Qt::LeftButton);
    }

    static void drivePreview(DialogView& view, QStringList& done) {
        using namespace video::preview;
        const ClosesAtEnd closes{view};
        QTest::mouseClick(view.widget(kDeinterlace), Qt::LeftButton);
        QTest::mouseClick(view.widget(kStart), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(showing(view, kArea1, 10) && showing(view, kArea2, 10) &&
                                     showing(view, kArea3, 10) && showing(view, kArea4, 10),
                                 kWaitMs);
        QTest::qWait(200);
        if (save(view, "pemblor_preview.png")) done << "preview";
        QTest::mouseClick(view.widget(kStop), Qt::LeftButton);
        QTest::mouseClick(view.widget(kSingle), Qt::LeftButton);
        const std::uint64_t before = view.surface(kArea1)->paintedPictures();
        QTest::mouseClick(view.widget(kStart), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(showing(view, kArea1, before + 10), kWaitMs);
        QVERIFY(!view.widget(kArea2)->isVisible());
        QTest::qWait(200);
        if (save(view, "pemblor_preview_single.png")) done << "preview single";
        QTest::mouseClick(view.widget(ui::kIdOk), Qt::LeftButton);
    }
};

}  // namespace pemblor::gui::testing

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setWindowIcon(pemblor::gui::applicationIcon());
    pemblor::gui::testing::VideoEndToEnd test;
    return QTest::qExec(&test, argc, argv);
}

#include "video_end_to_end.moc"
