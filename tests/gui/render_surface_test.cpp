// The render surface: pictures handed over from other threads, scaled to fit,
// and a sink that outlives its surface safely.
#include <QTest>
#include <thread>

#include "gui/render_surface.hpp"
#include "gui_test_registry.hpp"

namespace pemblor::gui::testing {

namespace {
QImage solid(int w, int h, QColor c) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(c);
    return img;
}
}  // namespace

class RenderSurfaceTest : public QObject {
    Q_OBJECT

private slots:
    void showsTheLastPictureFromAnotherThread() {
        RenderSurface surface;
        surface.resize(440, 330);
        surface.show();
        QVERIFY(QTest::qWaitForWindowExposed(&surface));
        auto sink = surface.sink();
        std::thread producer([sink] {
            for (int i = 0; i < 200; ++i) sink->present(solid(352, 288, QColor(i, 0, 0)));
            sink->present(solid(352, 288, QColor(0, 200, 0)));
        });
        producer.join();
        QTRY_VERIFY(!surface.picture().isNull() && surface.picture().pixelColor(10, 10) == QColor(0, 200, 0));
        QCOMPARE(sink->presented(), std::uint64_t{201});
        // Drawn scaled to fit with its aspect kept: 352 x 288 in 440 x 330 is 403 x 330, centred.
        const QImage shown = surface.grab().toImage();
        QCOMPARE(shown.pixelColor(220, 165), QColor(0, 200, 0));
        QCOMPARE(shown.pixelColor(5, 165), QColor(Qt::black));
        QCOMPARE(shown.pixelColor(434, 165), QColor(Qt::black));
    }

    void showsItsText() {
        RenderSurface surface;
        surface.resize(200, 100);
        surface.setText(QStringLiteral("render_open failed!"));
        QCOMPARE(surface.text(), QStringLiteral("render_open failed!"));
        const QImage shown = surface.grab().toImage();
        bool white = false;
        for (int y = 0; y < 30 && !white; ++y) {
            for (int x = 0; x < 200 && !white; ++x) white = shown.pixelColor(x, y).lightness() > 200;
        }
        QVERIFY(white);
    }

    void aSinkOutlivesItsSurface() {
        std::shared_ptr<FrameSink> sink;
        {
            RenderSurface surface;
            sink = surface.sink();
            QVERIFY(sink->present(solid(8, 8, Qt::red)));
        }
        QVERIFY(!sink->present(solid(8, 8, Qt::red)));
        QCoreApplication::processEvents();
    }
};

PEMBLOR_GUI_TEST(RenderSurfaceTest);

}  // namespace pemblor::gui::testing

#include "render_surface_test.moc"
