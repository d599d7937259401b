#include "gui/control_widgets.hpp"

#include <QFontDatabase>
#include <QMouseEvent>
#include <algorithm>

#include "gui/qt_text.hpp"

namespace pemblor::gui {

void NotifyLabel::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QLabel::mousePressEvent(event);
}

void NotifyLabel::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (click) emit clicked();
}

QFont dialogFont(const ui::DialogTemplate& t) {
    // The template names an installed family; where it is missing, the
    // system's fixed-pitch font stands in, never a proportional one.
    const QString family = toQt(t.font);
    QFont f = QFontDatabase::hasFamily(family) ? QFont(family) : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
    if (t.fontSize > 0) f.setPointSize(t.fontSize);
    return f;
}

int controlHeight(const ui::Control& c) {
    constexpr int kFieldHeight = 26;
    if (c.kind == ui::ControlKind::DropDownList || c.kind == ui::ControlKind::ComboBox) {
        return std::min(c.rect.height, kFieldHeight);
    }
    return c.rect.height;
}

}  // namespace pemblor::gui
