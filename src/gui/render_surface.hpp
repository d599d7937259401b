#pragma once
// A video area: shows the last picture handed to it, scaled to fit with its
// aspect kept, and an optional text (such as "render_open failed!"). Its
// context menu saves the picture shown, at its own size, as a PNG file. Pictures
// may be handed over from any thread through the surface's FrameSink; the
// widget picks the newest up on the user-interface thread and drops the ones
// it had no time to show.
#include <QImage>
#include <QString>
#include <QWidget>
#include <atomic>
#include <memory>
#include <mutex>

namespace pemblor::gui {

class RenderSurface;

// The thread-safe hand-over point of one surface. Other threads keep a
// shared_ptr to it; once the surface is gone, present() just drops pictures.
class FrameSink {
public:
    // Hands over a picture (any thread). Returns false when the surface is gone.
    bool present(QImage picture);
    // Pictures handed over so far, and those the surface actually painted.
    std::uint64_t presented() const { return presented_.load(std::memory_order_relaxed); }

private:
    friend class RenderSurface;
    std::mutex mutex_;
    QImage latest_;
    RenderSurface* target_ = nullptr;  // guarded by mutex_
    bool updatePosted_ = false;        // guarded by mutex_
    std::atomic<std::uint64_t> presented_{0};
};

class RenderSurface : public QWidget {
    Q_OBJECT
public:
    explicit RenderSurface(QWidget* parent = nullptr);
    ~RenderSurface() override;

    std::shared_ptr<FrameSink> sink() const { return sink_; }
    // Same as sink()->present(picture).
    void present(QImage picture) { sink_->present(std::move(picture)); }

    void setText(const QString& text);
    QString text() const { return text_; }
    // Filtered (smooth) or plain scaling of the picture to the area.
    void setSmoothScaling(bool smooth);
    bool smoothScaling() const { return smooth_; }
    // Where "Save picture..." starts looking.
    void setSaveFolder(const QString& folder) { saveFolder_ = folder; }
    // Writes the picture shown as PNG; false when there is none or the file
    // cannot be written.
    bool savePicture(const QString& file) const;
    // The picture last shown (user-interface thread).
    const QImage& picture() const { return shown_; }
    std::uint64_t paintedPictures() const { return painted_; }

protected:
    bool event(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    friend class FrameSink;
    static int updateEventType();
    void takeLatest();
    // Asks for a file name and saves the picture shown there.
    void askAndSave();

    std::shared_ptr<FrameSink> sink_;
    QImage shown_;
    QString text_;
    QString saveFolder_;
    bool smooth_ = true;
    std::uint64_t painted_ = 0;
};

}  // namespace pemblor::gui
