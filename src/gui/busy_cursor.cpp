#include "gui/busy_cursor.hpp"

#include <QCursor>
#include <QGuiApplication>

namespace pemblor::gui {

namespace {
int gDepth = 0;
}  // namespace

BusyCursor::BusyCursor() {
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    ++gDepth;
}

BusyCursor::~BusyCursor() {
    QGuiApplication::restoreOverrideCursor();
    --gDepth;
}

int BusyCursor::depth() { return gDepth; }

BusyCursor::Lifted::Lifted() : lifted_(gDepth) {
    for (int i = 0; i < lifted_; ++i) QGuiApplication::restoreOverrideCursor();
    gDepth = 0;
}

BusyCursor::Lifted::~Lifted() {
    for (int i = 0; i < lifted_; ++i) QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    gDepth += lifted_;
}

}  // namespace pemblor::gui
