#include "gui/dialog_view.hpp"

#include <QStatusBar>

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>

#include "gui/busy_cursor.hpp"
#include "gui/control_widgets.hpp"
#include "gui/item_list_model.hpp"
#include "gui/qt_text.hpp"
#include "gui/render_surface.hpp"

namespace pemblor::gui {

namespace {

// Counts nesting of model-to-widget updates so that widget signals caused by
// them are not mistaken for user input.
class Updating {
public:
    explicit Updating(int& depth) : depth_(depth) { ++depth_; }
    ~Updating() { --depth_; }
    Updating(const Updating&) = delete;
    Updating& operator=(const Updating&) = delete;

private:
    int& depth_;
};

Qt::WindowFlags dialogWindowFlags(const ui::DialogTemplate& t, bool topLevel) {
    Qt::WindowFlags f = (topLevel ? Qt::Window : Qt::Dialog) | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                        Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (t.minimizeBox) f |= Qt::WindowMinimizeButtonHint;
    if (t.maximizeBox) f |= Qt::WindowMaximizeButtonHint;
    return f;
}

bool isEnterKey(int key) { return key == Qt::Key_Return || key == Qt::Key_Enter; }

}  // namespace

DialogView::DialogView(ui::Dialog& dialog, QWidget* parent)
    : QDialog(parent, dialogWindowFlags(dialog.dialogTemplate(), parent == nullptr)), dialog_(dialog) {
    setObjectName(QStringLiteral("dialog%1").arg(dialog.id()));
    build();
    token_ = dialog_.subscribe([this](const ui::Change& c) { onChange(c); });
}

DialogView::~DialogView() { dialog_.unsubscribe(token_); }

void DialogView::build() {
    const ui::DialogTemplate& t = dialog_.dialogTemplate();
    setWindowTitle(toQt(dialog_.caption()));
    setFont(dialogFont(t));
    const QSize client(t.rect.width, t.rect.height);
    if (t.maximizeBox) {
        resize(client);
    } else {
        setFixedSize(client);
    }
    const auto& controls = dialog_.controls();
    entries_.resize(controls.size());
    Updating guard(updating_);
    for (std::size_t i = 0; i < controls.size(); ++i) {
        QWidget* w = createWidget(static_cast<int>(i), controls[i]);
        entries_[i].widget = w;
        const ui::Control& c = controls[i];
        w->setGeometry(c.rect.x, c.rect.y, c.rect.width, controlHeight(c));
        w->setEnabled(c.enabled);
        w->setVisible(c.visible);
        // Frames and video areas lie beneath everything else, so a video area
        // that grows to fill the window leaves the buttons on top of it.
        if (c.kind == ui::ControlKind::GroupBox || c.kind == ui::ControlKind::VideoArea) w->lower();
        watchKeys(w);
        syncText(static_cast<int>(i));
        syncChecked(static_cast<int>(i));
        syncSelection(static_cast<int>(i));
        syncReadOnly(static_cast<int>(i));
    }
}

QWidget* DialogView::createWidget(int index, const ui::Control& c) {
    const int id = c.id;
    using K = ui::ControlKind;
    switch (c.kind) {
    case K::Button:
    case K::DefaultButton: {
        auto* b = new QPushButton(toQt(c.text), this);
        // Enter is routed through the model; the default button only looks the part.
        b->setAutoDefault(false);
        b->setDefault(c.kind == K::DefaultButton);
        connect(b, &QPushButton::clicked, this, [this, id] { userClicked(id); });
        return b;
    }
    case K::CheckBox: {
        auto* b = new QCheckBox(toQt(c.text), this);
        connect(b, &QCheckBox::clicked, this, [this, id] { userClicked(id); });
        return b;
    }
    case K::Label: {
        auto* l = new NotifyLabel(this);
        l->setTextFormat(Qt::PlainText);
        Qt::Alignment a = (c.style & ui::kRightAlign) ? Qt::AlignRight : Qt::AlignLeft;
        l->setAlignment(a | Qt::AlignVCenter);
        if (c.style & ui::kSunken) {
            l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            l->setMargin(2);
        }
        if (c.style & ui::kNotify) {
            l->setCursor(Qt::PointingHandCursor);
            connect(l, &NotifyLabel::clicked, this, [this, id] { userClicked(id); });
        }
        return l;
    }
    case K::GroupBox: {
        // An etched frame with the title set into its top line.
        auto* g = new QGroupBox(toQt(c.text), this);
        g->setStyleSheet(QStringLiteral(
            "QGroupBox { border: 1px solid palette(mid); border-radius: 3px; margin-top: 8px; }"
            "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 10px;"
            " padding: 0 4px; }"));
        return g;
    }
    case K::Edit: {
        auto* e = new QLineEdit(this);
        if (c.style & ui::kPassword) e->setEchoMode(QLineEdit::Password);
        if (c.maxLength > 0) e->setMaxLength(c.maxLength);
        connect(e, &QLineEdit::textEdited, this, [this, id](const QString& s) { userText(id, s); });
        return e;
    }
    case K::MultiLineEdit: {
        auto* e = new QPlainTextEdit(this);
        e->setTabChangesFocus(true);
        e->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        e->setVerticalScrollBarPolicy((c.style & ui::kVScroll) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        e->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        // A disabled edit still shows text worth reading (the key dialog's warning).
        QPalette p = e->palette();
        p.setColor(QPalette::Disabled, QPalette::Text, p.color(QPalette::Active, QPalette::WindowText));
        e->setPalette(p);
        connect(e, &QPlainTextEdit::textChanged, this, [this, id, e] {
            if (updating_ == 0) userText(id, e->toPlainText());
        });
        return e;
    }
    case K::ListBox: {
        auto* model = new ItemListModel(dialog_, id, this);
        entries_[static_cast<std::size_t>(index)].model = model;
        auto* v = new QListView(this);
        v->setModel(model);
        v->setUniformItemSizes(true);
        v->setSelectionMode(QAbstractItemView::SingleSelection);
        v->setEditTriggers(QAbstractItemView::NoEditTriggers);
        v->setVerticalScrollBarPolicy((c.style & ui::kVScroll) ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
        v->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        v->setTextElideMode(Qt::ElideRight);
        connect(v->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                [this, id](const QModelIndex& cur) { userSelected(id, cur.isValid() ? cur.row() : -1); });
        connect(model, &ItemListModel::rowsPublished, this, [this, index] { syncSelection(index); });
        return v;
    }
    case K::DropDownList:
    case K::ComboBox: {
        auto* model = new ItemListModel(dialog_, id, this);
        entries_[static_cast<std::size_t>(index)].model = model;
        auto* b = new QComboBox(this);
        b->setModel(model);
        b->setMaxVisibleItems(16);
        b->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        if (c.kind == K::ComboBox) {
            b->setEditable(true);
            b->setInsertPolicy(QComboBox::NoInsert);
            b->setCompleter(nullptr);
            if (c.maxLength > 0) b->lineEdit()->setMaxLength(c.maxLength);
            connect(b->lineEdit(), &QLineEdit::textEdited, this, [this, id](const QString& s) { userText(id, s); });
        }
        connect(b, &QComboBox::activated, this, [this, id](int row) { userSelected(id, row); });
        connect(model, &ItemListModel::rowsPublished, this, [this, index] { syncSelection(index); });
        return b;
    }
    case K::VideoArea:
        return new RenderSurface(this);
    }
    return new QWidget(this);
}

void DialogView::watchKeys(QWidget* w) {
    w->installEventFilter(this);
    for (QWidget* child : w->findChildren<QWidget*>()) child->installEventFilter(this);
}

QWidget* DialogView::widget(int id) const { return widgetAt(dialog_.indexOf(id)); }

QWidget* DialogView::widgetAt(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return nullptr;
    return entries_[static_cast<std::size_t>(index)].widget;
}

RenderSurface* DialogView::surface(int id) const { return qobject_cast<RenderSurface*>(widget(id)); }

ItemListModel* DialogView::listModel(int id) const {
    const int index = dialog_.indexOf(id);
    return index < 0 ? nullptr : entries_[static_cast<std::size_t>(index)].model;
}

void DialogView::flushLists() {
    for (Entry& e : entries_) {
        if (e.model) e.model->flush();
    }
}

void DialogView::addMenuEntry(const QString& text, const QKeySequence& shortcut, std::function<void()> action) {
    setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* separator = new QAction(this);
    separator->setSeparator(true);
    addAction(separator);
    auto* entry = new QAction(text, this);
    connect(entry, &QAction::triggered, this, [action] { action(); });
    addAction(entry);
    if (!shortcut.isEmpty()) {
        auto* s = new QShortcut(shortcut, this);
        connect(s, &QShortcut::activated, this, [action] { action(); });
    }
}

// --- model -> widgets ---------------------------------------------------------------

void DialogView::onChange(const ui::Change& change) {
    if (change.kind == ui::ChangeKind::Ended) {
        if (isVisible()) QDialog::done(change.index);
        return;
    }
    const int index = dialog_.indexOf(change.id);
    if (index < 0) return;
    Entry& e = entries_[static_cast<std::size_t>(index)];
    const ui::Control& c = dialog_.controls()[static_cast<std::size_t>(index)];
    Updating guard(updating_);
    switch (change.kind) {
    case ui::ChangeKind::Text:
        syncText(index);
        break;
    case ui::ChangeKind::Enabled:
        e.widget->setEnabled(c.enabled);
        break;
    case ui::ChangeKind::Visible:
        e.widget->setVisible(c.visible);
        break;
    case ui::ChangeKind::Checked:
        syncChecked(index);
        break;
    case ui::ChangeKind::Selection:
        syncSelection(index);
        break;
    case ui::ChangeKind::ItemInserted:
    case ui::ChangeKind::ItemRemoved:
    case ui::ChangeKind::ItemsCleared:
    case ui::ChangeKind::ItemsReset:
        if (e.model) e.model->apply(change);
        if (change.kind != ui::ChangeKind::ItemInserted) syncSelection(index);
        break;
    case ui::ChangeKind::TopIndex:
        if (auto* v = qobject_cast<QListView*>(e.widget); v && e.model) {
            e.model->flush();
            if (change.index >= 0 && change.index < e.model->rowCount()) {
                v->scrollTo(e.model->index(change.index), QAbstractItemView::PositionAtTop);
            }
        }
        break;
    case ui::ChangeKind::Geometry:
        e.widget->setGeometry(c.rect.x, c.rect.y, c.rect.width, controlHeight(c));
        break;
    default:
        break;
    }
    syncReadOnly(index);
}

void DialogView::syncText(int index) {
    Entry& e = entries_[static_cast<std::size_t>(index)];
    const ui::Control& c = dialog_.controls()[static_cast<std::size_t>(index)];
    Updating guard(updating_);
    if (auto* b = qobject_cast<QAbstractButton*>(e.widget)) {
        b->setText(toQt(c.text));
    } else if (auto* l = qobject_cast<QLabel*>(e.widget)) {
        l->setText(plainCaption(c.text));
    } else if (auto* g = qobject_cast<QGroupBox*>(e.widget)) {
        g->setTitle(toQt(c.text));
    } else if (auto* le = qobject_cast<QLineEdit*>(e.widget)) {
        const QString s = toQt(c.text);
        if (le->text() != s) {
            const int cursor = le->cursorPosition();
            le->setText(s);
            le->setCursorPosition(std::min<int>(cursor, static_cast<int>(s.size())));
        }
    } else if (auto* pe = qobject_cast<QPlainTextEdit*>(e.widget)) {
        const QString s = editTextToQt(c.text);
        if (pe->toPlainText() != s) {
            QTextCursor cursor = pe->textCursor();
            const int pos = cursor.position();
            pe->setPlainText(s);
            cursor = pe->textCursor();
            cursor.setPosition(std::min<int>(pos, static_cast<int>(s.size())));
            pe->setTextCursor(cursor);
        }
    } else if (auto* cb = qobject_cast<QComboBox*>(e.widget)) {
        if (cb->isEditable() && cb->currentText() != toQt(c.text)) cb->setEditText(toQt(c.text));
    } else if (auto* s = qobject_cast<RenderSurface*>(e.widget)) {
        s->setText(toQt(c.text));
    }
}

void DialogView::syncChecked(int index) {
    const ui::Control& c = dialog_.controls()[static_cast<std::size_t>(index)];
    if (auto* b = qobject_cast<QCheckBox*>(entries_[static_cast<std::size_t>(index)].widget)) {
        Updating guard(updating_);
        b->setChecked(c.checked);
    }
}

void DialogView::syncSelection(int index) {
    Entry& e = entries_[static_cast<std::size_t>(index)];
    if (!e.model) return;
    const ui::Control& c = dialog_.controls()[static_cast<std::size_t>(index)];
    Updating guard(updating_);
    if (c.selection >= e.model->rowCount()) e.model->flush();
    const int row = c.selection < e.model->rowCount() ? c.selection : -1;
    if (auto* v = qobject_cast<QListView*>(e.widget)) {
        QItemSelectionModel* sel = v->selectionModel();
        if (row < 0) {
            sel->clear();
        } else if (sel->currentIndex().row() != row || !sel->isSelected(e.model->index(row))) {
            sel->setCurrentIndex(e.model->index(row), QItemSelectionModel::ClearAndSelect);
        }
    } else if (auto* cb = qobject_cast<QComboBox*>(e.widget)) {
        if (cb->currentIndex() != row) cb->setCurrentIndex(row);
        if (cb->isEditable() && cb->currentText() != toQt(c.text)) cb->setEditText(toQt(c.text));
    }
}

void DialogView::syncReadOnly(int index) {
    const ui::Control& c = dialog_.controls()[static_cast<std::size_t>(index)];
    QWidget* w = entries_[static_cast<std::size_t>(index)].widget;
    if (auto* le = qobject_cast<QLineEdit*>(w)) {
        le->setReadOnly(c.readOnly());
    } else if (auto* pe = qobject_cast<QPlainTextEdit*>(w)) {
        pe->setReadOnly(c.readOnly());
    }
}

// --- widgets -> model ---------------------------------------------------------------

template <typename Fn>
void DialogView::runHandler(Fn&& fn) {
    {
        BusyCursor busy;
        Updating running(handling_);
        fn();
    }
    if (handling_ == 0 && closeDeferred_) {
        closeDeferred_ = false;
        close();
    }
}

void DialogView::userClicked(int id) {
    if (updating_ > 0) return;
    runHandler([&] { dialog_.click(id); });
    // The model may have refused or changed the state (a disabled box, a handler).
    const int index = dialog_.indexOf(id);
    if (index >= 0) syncChecked(index);
}

void DialogView::userText(int id, const QString& text) {
    if (updating_ > 0) return;
    const int index = dialog_.indexOf(id);
    if (index < 0) return;
    const bool multiLine = dialog_.controls()[static_cast<std::size_t>(index)].kind == ui::ControlKind::MultiLineEdit;
    dialog_.userSetText(id, multiLine ? editTextFromQt(text) : fromQt(text));
    // Upper-casing or the length limit may have changed what was typed.
    syncText(index);
}

void DialogView::userSelected(int id, int row) {
    if (updating_ > 0) return;
    dialog_.select(id, row);
    const int index = dialog_.indexOf(id);
    if (index >= 0) syncSelection(index);
}

// --- keys and window life -----------------------------------------------------------

bool DialogView::handleKey(QObject* target, int key, Qt::KeyboardModifiers modifiers) {
    if (key == Qt::Key_Escape) {
        dialog_.cancel();
        return true;
    }
    if (!isEnterKey(key)) return false;
    // Ctrl+Enter is a line break in a multi-line edit; plain Enter belongs to the default button.
    if (auto* edit = qobject_cast<QPlainTextEdit*>(target); edit && (modifiers & Qt::ControlModifier)) {
        if (!edit->isReadOnly()) edit->textCursor().insertBlock();
        return true;
    }
    if (auto* b = qobject_cast<QPushButton*>(target)) {
        // A focused push button takes Enter for itself.
        if (b->isEnabled()) b->click();
        return true;
    }
    runHandler([&] { dialog_.pressEnter(); });
    return true;
}

bool DialogView::eventFilter(QObject* watched, QEvent* event) {
    // Popups (a combo box's list) are windows of their own and keep their keys.
    auto* w = qobject_cast<QWidget*>(watched);
    if (event->type() == QEvent::KeyPress && w && w->window() == this) {
        auto* k = static_cast<QKeyEvent*>(event);
        QObject* target = watched;
        // A combo box's line edit speaks for its combo box.
        if (auto* le = qobject_cast<QLineEdit*>(watched); le && qobject_cast<QComboBox*>(le->parent())) {
            target = le->parent();
        }
        if (handleKey(target, k->key(), k->modifiers())) return true;
    }
    return QDialog::eventFilter(watched, event);
}

void DialogView::keyPressEvent(QKeyEvent* event) {
    if (handleKey(this, event->key(), event->modifiers())) return;
    QDialog::keyPressEvent(event);
}

void DialogView::reject() {
    // Close box and Esc: the model decides (it runs its cancel handler and ends).
    if (!dialog_.ended()) dialog_.cancel();
    if (dialog_.ended() && isVisible()) QDialog::done(dialog_.result());
}

void DialogView::accept() {
    if (!dialog_.ended()) dialog_.end(ui::kIdOk);
    if (isVisible()) QDialog::done(dialog_.result());
}

ui::SizeKind DialogView::sizeKind() const {
    const Qt::WindowStates state = windowState();
    if (state & Qt::WindowMinimized) return ui::SizeKind::Minimized;
    if (state & Qt::WindowMaximized) return ui::SizeKind::Maximized;
    if (state & Qt::WindowFullScreen) return ui::SizeKind::Other;
    return ui::SizeKind::Restored;
}

void DialogView::closeEvent(QCloseEvent* event) {
    // The window keeps painting while a handler sleeps, and a close box click
    // can arrive then; it takes effect when the handler is done, as a click would.
    if (handling_ > 0) {
        closeDeferred_ = true;
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void DialogView::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    // The status line takes the bottom; the dialog's controls keep the rest.
    const int statusHeight = status_ ? status_->sizeHint().height() : 0;
    if (status_) status_->setGeometry(0, event->size().height() - statusHeight, event->size().width(), statusHeight);
    dialog_.resize(event->size().width(), event->size().height() - statusHeight, sizeKind());
}

void DialogView::showStatus(const QString& text) {
    if (!status_) {
        status_ = new QStatusBar(this);
        status_->setSizeGripEnabled(false);
        const QSize grown(width(), height() + status_->sizeHint().height());
        if (minimumSize() == maximumSize()) {
            setFixedSize(grown);
        } else {
            resize(grown);
        }
        status_->setGeometry(0, height() - status_->sizeHint().height(), width(), status_->sizeHint().height());
        status_->show();
    }
    status_->showMessage(text);
}

QString DialogView::statusText() const { return status_ ? status_->currentMessage() : QString(); }

void DialogView::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    // Window managers may change the state after the size has arrived (or
    // without a new size at all): tell the model again with the new kind.
    if (event->type() == QEvent::WindowStateChange) dialog_.resize(width(), height(), sizeKind());
}

}  // namespace pemblor::gui
