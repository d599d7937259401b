#include "gui/render_surface.hpp"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QFileDialog>
#include <QMessageBox>
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
    auto* save = new QAction(tr("Save picture..."), this);
    save->setObjectName(QStringLiteral("savePicture"));
    connect(save, &QAction::triggered, this, [this] { askAndSave(); });
    addAction(save);
    setContextMenuPolicy(Qt::ActionsContextMenu);
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

void RenderSurface::setSmoothScaling(bool smooth) {
    if (smooth == smooth_) return;
    smooth_ = smooth;
    update();
}

bool RenderSurface::savePicture(const QString& file) const {
    return !shown_.isNull() && shown_.save(file, "PNG");
}

void RenderSurface::askAndSave() {
    if (shown_.isNull()) {
        QMessageBox::information(this, QString(), tr("No picture has been shown here yet."));
        return;
    }
    QFileDialog box(this, tr("Save picture"), saveFolder_, tr("PNG pictures (*.png)"));
    box.setObjectName(QStringLiteral("savePictureDialog"));
    box.setOption(QFileDialog::DontUseNativeDialog);
    box.setAcceptMode(QFileDialog::AcceptSave);
    box.setDefaultSuffix(QStringLiteral("png"));
    // The picture of the moment the menu was chosen, whatever arrives meanwhile.
    const QImage picture = shown_;
    if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty()) return;
    const QString file = box.selectedFiles().front();
    if (!picture.save(file, "PNG")) {
        QMessageBox::warning(this, QString(), tr("The picture could not be saved to %1.").arg(file));
    }
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
        painter.setRenderHint(QPainter::SmoothPixmapTransform, smooth_);
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
