// The desktop's renderer on the surfaces of real dialog views: pictures from
// another thread in the right colours, the method's scaling, "Save picture...",
// ports that cannot open; and the maximized and restored sizes that reach the
// dialog model.
#include <QAction>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <thread>

#include "gui/dialog_view.hpp"
#include "gui/qt_host.hpp"
#include "gui/qt_renderer.hpp"
#include "gui/render_surface.hpp"
#include "gui_test_registry.hpp"
#include "modal_driver.hpp"
#include "resources/dialogs.hpp"

namespace pemblor::gui::testing {

namespace {

constexpr int kArea = 1037;

// A 4:2:0 picture of one colour, planes in the render ports' order.
std::vector<std::uint8_t> solid(int w, int h, std::uint8_t y, std::uint8_t cr, std::uint8_t cb) {
    std::vector<std::uint8_t> p(static_cast<std::size_t>(w) * h * 3 / 2, y);
    const std::size_t luma = static_cast<std::size_t>(w) * h;
    std::fill(p.begin() + luma, p.begin() + luma + luma / 4, cr);
    std::fill(p.begin() + luma + luma / 4, p.end(), cb);
    return p;
}

video::PicturePlanes planesOf(const std::vector<std::uint8_t>& p, int w, int h) {
    const std::size_t luma = static_cast<std::size_t>(w) * h;
    return {p.data(), p.data() + luma, p.data() + luma + luma / 4};
}

bool reddish(const QColor& c) { return c.red() > 200 && c.green() < 60 && c.blue() < 60; }

}  // namespace

class QtRendererTest : public QObject {
    Q_OBJECT

private slots:
    void drawsOnItsAreaFromAnotherThreadAndSavesThePicture() {
        QTemporaryDir dir;
        QtHost host(dir.path().toStdString());
        QtRenderer renderer(host);
        ui::Dialog player(resources::playerDialog());
        ui::Dialog notShown(resources::previewDialog());
        const QString file = dir.filePath(QStringLiteral("shot.png"));
        bool checked = false;
        host.addViewHook([&](DialogView& view) {
            QTimer::singleShot(0, &view, [&] {
                QVERIFY(QTest::qWaitForWindowExposed(&view));
                RenderSurface* surface = view.surface(kArea);
                QVERIFY(surface);
                QCOMPARE(renderer.init(1), 0);
                QCOMPARE(renderer.open(0, {&notShown, 1005}, 352, 288, video::RenderMethod::Overlay), -1);
                QCOMPARE(renderer.open(0, {&player, 1039}, 352, 288, video::RenderMethod::Overlay), -1);  // a button
                QCOMPARE(renderer.open(0, {&player, kArea}, 352, 288, video::RenderMethod::Gdi), 0);
                QVERIFY(!surface->smoothScaling());
                QCOMPARE(renderer.open(0, {&player, kArea}, 352, 288, video::RenderMethod::Overlay), 0);
                QVERIFY(surface->smoothScaling());
                // Red: Y 81, Cr 240, Cb 90.
                const auto red = solid(176, 144, 81, 240, 90);
                std::thread drawer([&] {
                    for (int i = 0; i < 20; ++i) renderer.video(0, planesOf(red, 176, 144), 176, 144);
                });
                drawer.join();
                QTRY_VERIFY(!surface->picture().isNull());
                QCOMPARE(surface->picture().size(), QSize(176, 144));
                QVERIFY(reddish(surface->picture().pixelColor(10, 10)));
                QVERIFY(reddish(view.grab().toImage().pixelColor(320, 250)));

                QString shownDir;
                whenModal<QFileDialog>([&](QFileDialog* box) {
                    shownDir = box->directory().absolutePath();
                    box->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("shot"));
                    box->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"))->button(QDialogButtonBox::Save)->click();
                });
                QAction* save = surface->findChild<QAction*>(QStringLiteral("savePicture"));
                QVERIFY(save);
                QCOMPARE(save->text(), QStringLiteral("Save picture..."));
                save->trigger();
                QCOMPARE(shownDir, dir.path());  // the data root
                const QImage saved(file);
                QCOMPARE(saved.size(), QSize(176, 144));
                QVERIFY(reddish(saved.pixelColor(88, 72)));

                QCOMPARE(renderer.close(0), 0);
                QCOMPARE(renderer.video(0, planesOf(red, 176, 144), 176, 144), -1);
                QCOMPARE(renderer.video(7, planesOf(red, 176, 144), 176, 144), -1);
                checked = true;
                player.end(ui::kIdOk);
            });
        });
        host.runModal(player);
        QVERIFY(checked);
    }

    void maximizedAndRestoredSizesReachTheModel() {
        ui::Dialog preview(resources::previewDialog());
        std::vector<ui::SizeKind> kinds;
        preview.onSize([&](ui::SizeKind kind, int, int) { kinds.push_back(kind); });
        DialogView view(preview);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        view.showMaximized();
        QTRY_VERIFY(!kinds.empty() && kinds.back() == ui::SizeKind::Maximized);
        view.showNormal();
        QTRY_VERIFY(kinds.back() == ui::SizeKind::Restored);
    }
};

PEMBLOR_GUI_TEST(QtRendererTest);

}  // namespace pemblor::gui::testing

#include "qt_renderer_test.moc"
