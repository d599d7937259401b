#pragma once
// Small pieces the dialog view builds its widgets with.
#include <QFont>
#include <QLabel>

#include "ui/dialog.hpp"

namespace pemblor::gui {

// A label that reports clicks (mouse released over it).
class NotifyLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    bool pressed_ = false;
};

// The dialog's font: the template's family when installed, else the
// system's fixed-pitch family, at the template's size.
QFont dialogFont(const ui::DialogTemplate& t);

// The height a control's widget takes: a combo box's template height covers
// its dropped list too, while the widget is only its field.
int controlHeight(const ui::Control& c);

}  // namespace pemblor::gui
