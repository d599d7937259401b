#pragma once
// The Qt view of any dialog model: builds one widget per template control and
// keeps both in step. Model changes update the widgets; typing, choosing and
// clicking go to the model (userSetText, select, click), which runs the
// handlers. The model stays the only truth: after every user action the widget
// is set back to what the model holds.
#include <QDialog>
#include <functional>
#include <vector>

#include "ui/dialog.hpp"

class QKeySequence;
class QStatusBar;

namespace pemblor::gui {

class ItemListModel;
class RenderSurface;

class DialogView : public QDialog {
    Q_OBJECT
public:
    explicit DialogView(ui::Dialog& dialog, QWidget* parent = nullptr);
    ~DialogView() override;

    ui::Dialog& dialog() { return dialog_; }
    // The widget of a control id (null for none).
    QWidget* widget(int id) const;
    // The widget of a control by its index in dialog().controls().
    QWidget* widgetAt(int index) const;
    RenderSurface* surface(int id) const;
    ItemListModel* listModel(int id) const;

    // A line under the dialog's own controls, outside the area they are laid
    // out in, so that no text of the dialog itself changes (e.g. that the
    // cards are simulated).
    void showStatus(const QString& text);
    QString statusText() const;

    // An entry of the window's context menu, also reached by a shortcut.
    void addMenuEntry(const QString& text, const QKeySequence& shortcut, std::function<void()> action);

    // Publishes appended list lines that still wait for the event loop.
    void flushLists();

    // Turns an Enter or Esc key press into the model's pressEnter or cancel, or
    // into a click of the focused push button. Returns true when it took the key.
    bool handleKey(QObject* target, int key, Qt::KeyboardModifiers modifiers);

public slots:
    void reject() override;
    void accept() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    // A close box clicked while a handler runs closes once it has ended.
    void closeEvent(QCloseEvent* event) override;

private:
    QStatusBar* status_ = nullptr;
    struct Entry {
        QWidget* widget = nullptr;
        ItemListModel* model = nullptr;
    };

    void build();
    // Maximized, minimized or restored, from the window's state.
    ui::SizeKind sizeKind() const;
    QWidget* createWidget(int index, const ui::Control& control);
    void watchKeys(QWidget* w);
    void onChange(const ui::Change& change);
    void syncText(int index);
    void syncSelection(int index);
    void syncChecked(int index);
    void syncReadOnly(int index);
    void userClicked(int id);
    // Runs a handler of the model: busy cursor on, a close deferred till it ends.
    template <typename Fn>
    void runHandler(Fn&& fn);
    void userText(int id, const QString& text);
    void userSelected(int id, int row);

    ui::Dialog& dialog_;
    std::vector<Entry> entries_;  // parallel to dialog_.controls()
    int token_ = 0;
    int updating_ = 0;  // > 0 while the view writes model state into widgets
    int handling_ = 0;  // > 0 while a click's handler runs
    bool closeDeferred_ = false;
};

}  // namespace pemblor::gui
