#include "gui/control_widgets.hpp"

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
    QFont f(toQt(t.font));
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
