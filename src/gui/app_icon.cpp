#include "gui/app_icon.hpp"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace pemblor::gui {

namespace {

QPixmap drawIcon(int size) {
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    // The card: a green board with a gold edge connector.
    p.setPen(QPen(QColor(20, 70, 40), 2));
    p.setBrush(QColor(40, 140, 80));
    p.drawRoundedRect(QRectF(4, 10, 56, 40), 5, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 180, 60));
    for (int i = 0; i < 6; ++i) p.drawRect(QRectF(12 + i * 7, 50, 4, 7));
    // The DSP chip.
    p.setBrush(QColor(30, 30, 36));
    p.drawRoundedRect(QRectF(12, 17, 24, 24), 2, 2);
    // The video it encodes: a play mark.
    QPainterPath play;
    play.moveTo(42, 20);
    play.lineTo(56, 30);
    play.lineTo(42, 40);
    play.closeSubpath();
    p.setBrush(QColor(250, 250, 250));
    p.drawPath(play);
    return pm;
}

}  // namespace

QIcon applicationIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128}) icon.addPixmap(drawIcon(size));
    return icon;
}

}  // namespace pemblor::gui
