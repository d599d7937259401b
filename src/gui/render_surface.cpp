#include "gui/render_surface.hpp"

#include <QCoreApplication>
#include <QEvent>
#include <QPainter>

namespace pemblor::gui {

bool FrameSink::present(QImage picture) {
    presented_.fetch_add(1, std::memory_order_relaxed);
    std::lock_guard lock(mutex_);
    if (!target_) return false;
    latest_ = std::move(picture);
    if (!updatePosted_) {
        // Posted under the lock: the surface clears target_ under the same
        // lock before it dies, and Qt drops events posted to a dead object.
        updatePosted_ = true;
        QCoreApplication::postEvent(target_, new QEvent(static_cast<QEvent::Type>(RenderSurface::updateEventType())));
    }
    return true;
}

int RenderSurface::updateEventType() {
    static const int type = QEvent::registerEventType();
    return type;
}

RenderSurface::RenderSurface(QWidget* parent) : QWidget(parent), sink_(std::make_shared<FrameSink>()) {
    sink_->target_ = this;
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
}

RenderSurface::~RenderSurface() {
    std::lock_guard lock(sink_->mutex_);
    sink_->target_ = nullptr;
    sink_->latest_ = QImage();
}

void RenderSurface::setText(const QString& text) {
    if (text == text_) return;
    text_ = text;
    update();
}

void RenderSurface::takeLatest() {
    std::lock_guard lock(sink_->mutex_);
    sink_->updatePosted_ = false;
    if (!sink_->latest_.isNull()) shown_ = std::move(sink_->latest_);
    sink_->latest_ = QImage();
}

bool RenderSurface::event(QEvent* e) {
    if (e->type() == updateEventType()) {
        takeLatest();
        update();
        return true;
    }
    return QWidget::event(e);
}

void RenderSurface::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!shown_.isNull() && width() > 0 && height() > 0) {
        QSize size = shown_.size().scaled(this->size(), Qt::KeepAspectRatio);
        const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, shown_);
        ++painted_;
    }
    if (!text_.isEmpty()) {
        painter.setPen(Qt::white);
        painter.drawText(rect().adjusted(6, 6, -6, -6), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, text_);
    }
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace pemblor::gui
