#pragma once
// The toolkit-neutral state of one dialog: a control per template control,
// handlers per control id, and observers that a view uses to stay in step.
// Only the user-interface thread touches a Dialog.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/dialog_template.hpp"
#include "ui/item_list.hpp"

namespace pemblor::ui {

struct Control {
    int id = kNoId;
    ControlKind kind = ControlKind::Label;
    std::string text;  // caption of buttons and labels, text of edits and combo boxes
    std::uint32_t style = kStyleNone;
    bool enabled = true;
    bool visible = true;
    bool checked = false;
    int selection = -1;  // lists: the selected index, -1 for none
    int maxLength = 0;
    Rect rect;
    ItemList items;

    bool sorted() const { return (style & kSorted) != 0; }
    bool readOnly() const { return (style & kReadOnly) != 0; }
    bool hasItems() const {
        return kind == ControlKind::ListBox || kind == ControlKind::DropDownList ||
               kind == ControlKind::ComboBox;
    }
};

enum class ChangeKind {
    Text,
    Enabled,
    Visible,
    Checked,
    Selection,
    ItemInserted,  // index: where
    ItemRemoved,   // index: which
    ItemsCleared,
    ItemsReset,    // many items changed at once
    TopIndex,      // a list scrolled: index is the new top item
    Geometry,
    Style,         // a style flag such as read-only changed
    Ended,         // the dialog ended; index: the result
};

// How a window's size changed, as its size notification tells it.
enum class SizeKind {
    Restored,   // a plain resize, or back from maximized or minimized
    Minimized,
    Maximized,
    Other,      // anything else (another window maximized, shown or hidden)
};

struct Change {
    int id;  // control id (kNoId for Ended)
    ChangeKind kind;
    int index = -1;
};

class Dialog {
public:
    using Handler = std::function<void()>;
    using TimerHandler = std::function<void(int timerId)>;
    // The new client size and how the window got it.
    using SizeHandler = std::function<void(SizeKind kind, int width, int height)>;
    using Observer = std::function<void(const Change&)>;

    explicit Dialog(const DialogTemplate& tmpl);
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

    int id() const { return id_; }
    const std::string& caption() const { return caption_; }
    const DialogTemplate& dialogTemplate() const { return *template_; }

    // --- controls --------------------------------------------------------------------
    bool has(int id) const { return find(id) != nullptr; }
    const Control& control(int id) const;
    // Every control in template order, including those without an id.
    const std::vector<Control>& controls() const { return controls_; }
    // Index into controls() of a control id, or -1.
    int indexOf(int id) const;

    const std::string& text(int id) const { return control(id).text; }
    bool enabled(int id) const { return control(id).enabled; }
    bool visible(int id) const { return control(id).visible; }
    bool checked(int id) const { return control(id).checked; }
    int selection(int id) const { return control(id).selection; }
    std::size_t itemCount(int id) const { return control(id).items.size(); }
    std::string_view item(int id, std::size_t i) const { return control(id).items.at(i); }
    // The text of the selected item ("" when none).
    std::string selectedText(int id) const;

    // Program-side state changes; each notifies observers when something changed.
    void setText(int id, std::string_view text);
    void setEnabled(int id, bool enabled);
    void setVisible(int id, bool visible);
    void setChecked(int id, bool checked);
    void setSelection(int id, int index);
    void setGeometry(int id, const Rect& rect);
    // Edits: typing allowed or not (the read-only style flag).
    void setReadOnly(int id, bool readOnly);
    // Adds an item: at the end, or in sorted order for a sorted list. Returns its index.
    std::size_t addItem(int id, std::string_view text);
    void removeItem(int id, std::size_t index);
    void clearItems(int id);
    // Scrolls a list so that index is its top visible item.
    void setTopIndex(int id, int index);
    int topIndex(int id) const;

    // Multi-line edits: lines split on CR LF; an empty edit has one line.
    std::size_t lineCount(int id) const;
    std::string line(int id, std::size_t i) const;

    // --- user actions (views and the script host call these) -------------------------
    // Click: runs the handler when the control is enabled and visible; a check
    // box toggles first. Buttons 1 and 2 without a handler end the dialog with
    // that result. Returns false when the click was ignored.
    bool click(int id);
    // Typing: replaces the text (upper-cased or cut to the maximum length as the style says).
    void userSetText(int id, std::string_view text);
    // Choosing an item; a combo box's text follows the chosen item.
    void select(int id, int index);
    // Enter: presses the default button. Esc: cancels.
    void pressEnter();
    void cancel();
    // Timers and resizing, delivered by the host.
    void timer(int timerId);
    void resize(int width, int height, SizeKind kind = SizeKind::Restored);

    // --- handlers and observers ---------------------------------------------------------
    // One handler per control, per timer, for size and for cancel: a second
    // one is a programming error and throws std::logic_error.
    void onClick(int id, Handler fn);
    void onTimer(int timerId, Handler fn);
    // Any timer that has no handler of its own.
    void onTimer(TimerHandler fn);
    void onSize(SizeHandler fn);
    // Runs before a cancel ends the dialog (Esc, close box, cancel button).
    void onCancel(Handler fn);
    int subscribe(Observer fn);
    void unsubscribe(int token);

    // --- modal life ---------------------------------------------------------------------
    void end(int result);
    bool ended() const { return result_.has_value(); }
    int result() const { return result_.value_or(0); }
    // Makes the dialog runnable again (for a dialog object shown more than once).
    void reopen() { result_.reset(); }

private:
    Control* find(int id);
    const Control* find(int id) const;
    Control& mut(int id);
    void notify(const Change& c);

    int id_;
    std::string caption_;
    const DialogTemplate* template_;
    std::vector<Control> controls_;
    std::vector<std::pair<int, int>> index_;  // (id, position in controls_), sorted by id
    [[noreturn]] void refuseSecondHandler(const char* what, int id) const;

    std::vector<std::pair<int, Handler>> clickHandlers_;
    std::vector<std::pair<int, Handler>> timerHandlers_;
    TimerHandler timerHandler_;
    SizeHandler sizeHandler_;
    Handler cancelHandler_;
    std::vector<std::pair<int, Observer>> observers_;
    int nextToken_ = 1;
    std::vector<std::pair<int, int>> topIndex_;  // list id -> top item
    std::optional<int> result_;
};

}  // namespace pemblor::ui
