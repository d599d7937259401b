#include "ui/dialog.hpp"

#include <algorithm>
#include <stdexcept>

namespace pemblor::ui {

namespace {

std::string upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

}  // namespace

Dialog::Dialog(const DialogTemplate& tmpl) : id_(tmpl.id), caption_(tmpl.caption), template_(&tmpl) {
    controls_.reserve(tmpl.controls.size());
    for (const ControlTemplate& t : tmpl.controls) {
        Control c;
        c.id = t.id;
        c.kind = t.kind;
        c.text = t.caption;
        c.style = t.style;
        c.enabled = t.enabled;
        c.visible = t.visible;
        c.maxLength = t.maxLength;
        c.rect = t.rect;
        for (const std::string& item : t.items) {
            c.items.insert(c.sorted() ? c.items.sortedPosition(item) : c.items.size(), item);
        }
        // A combo box's edit part starts empty; its template caption is not shown.
        if (c.hasItems()) c.text.clear();
        controls_.push_back(std::move(c));
    }
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        if (controls_[i].id != kNoId) index_.emplace_back(controls_[i].id, static_cast<int>(i));
    }
    // The first control of an id wins, as a dialog's lookup by id conventionally does.
    std::stable_sort(index_.begin(), index_.end(), [](auto& a, auto& b) { return a.first < b.first; });
}

Control* Dialog::find(int id) {
    if (id == kNoId) return nullptr;
    const auto it = std::lower_bound(index_.begin(), index_.end(), id, [](auto& p, int v) { return p.first < v; });
    if (it == index_.end() || it->first != id) return nullptr;
    return &controls_[static_cast<std::size_t>(it->second)];
}

const Control* Dialog::find(int id) const { return const_cast<Dialog*>(this)->find(id); }

int Dialog::indexOf(int id) const {
    const Control* c = find(id);
    return c ? static_cast<int>(c - controls_.data()) : -1;
}

const Control& Dialog::control(int id) const {
    const Control* c = find(id);
    if (!c) throw std::out_of_range("dialog " + std::to_string(id_) + " has no control " + std::to_string(id));
    return *c;
}

Control& Dialog::mut(int id) { return const_cast<Control&>(control(id)); }

std::string Dialog::selectedText(int id) const {
    const Control& c = control(id);
    if (c.selection < 0 || static_cast<std::size_t>(c.selection) >= c.items.size()) return {};
    return std::string(c.items.at(static_cast<std::size_t>(c.selection)));
}

void Dialog::notify(const Change& change) {
    // Observers may unsubscribe while being told; walk a copy of the tokens.
    for (std::size_t i = 0; i < observers_.size(); ++i) {
        observers_[i].second(change);
    }
}

void Dialog::setText(int id, std::string_view text) {
    Control& c = mut(id);
    if (c.text == text) return;
    c.text.assign(text);
    notify({id, ChangeKind::Text});
}

void Dialog::setEnabled(int id, bool enabled) {
    Control& c = mut(id);
    if (c.enabled == enabled) return;
    c.enabled = enabled;
    notify({id, ChangeKind::Enabled});
}

void Dialog::setVisible(int id, bool visible) {
    Control& c = mut(id);
    if (c.visible == visible) return;
    c.visible = visible;
    notify({id, ChangeKind::Visible});
}

void Dialog::setChecked(int id, bool checked) {
    Control& c = mut(id);
    if (c.checked == checked) return;
    c.checked = checked;
    notify({id, ChangeKind::Checked});
}

void Dialog::setSelection(int id, int index) {
    Control& c = mut(id);
    if (index < 0 || static_cast<std::size_t>(index) >= c.items.size()) index = -1;
    if (c.selection == index) return;
    c.selection = index;
    notify({id, ChangeKind::Selection, index});
    // A drop-down list shows its selected item as its text.
    if (c.kind == ControlKind::DropDownList || c.kind == ControlKind::ComboBox) {
        setText(id, index >= 0 ? c.items.at(static_cast<std::size_t>(index)) : std::string_view{});
    }
}

void Dialog::setGeometry(int id, const Rect& rect) {
    Control& c = mut(id);
    if (c.rect == rect) return;
    c.rect = rect;
    notify({id, ChangeKind::Geometry});
}

void Dialog::setReadOnly(int id, bool readOnly) {
    Control& c = mut(id);
    const std::uint32_t style = readOnly ? (c.style | kReadOnly) : (c.style & ~std::uint32_t{kReadOnly});
    if (style == c.style) return;
    c.style = style;
    notify({id, ChangeKind::Style});
}

std::size_t Dialog::addItem(int id, std::string_view text) {
    Control& c = mut(id);
    const std::size_t at = c.sorted() ? c.items.sortedPosition(text) : c.items.size();
    c.items.insert(at, text);
    if (c.selection >= static_cast<int>(at)) ++c.selection;
    notify({id, ChangeKind::ItemInserted, static_cast<int>(at)});
    return at;
}

void Dialog::removeItem(int id, std::size_t index) {
    Control& c = mut(id);
    if (index >= c.items.size()) return;
    c.items.remove(index);
    if (c.selection == static_cast<int>(index)) {
        c.selection = -1;
    } else if (c.selection > static_cast<int>(index)) {
        --c.selection;
    }
    notify({id, ChangeKind::ItemRemoved, static_cast<int>(index)});
}

void Dialog::clearItems(int id) {
    Control& c = mut(id);
    c.items.clear();
    c.selection = -1;
    for (auto& [list, top] : topIndex_) {
        if (list == id) top = 0;
    }
    notify({id, ChangeKind::ItemsCleared});
}

void Dialog::setTopIndex(int id, int index) {
    const Control& c = control(id);
    const int count = static_cast<int>(c.items.size());
    index = std::clamp(index, 0, std::max(0, count - 1));
    auto it = std::find_if(topIndex_.begin(), topIndex_.end(), [id](auto& p) { return p.first == id; });
    if (it == topIndex_.end()) {
        topIndex_.emplace_back(id, index);
    } else {
        it->second = index;
    }
    notify({id, ChangeKind::TopIndex, index});
}

int Dialog::topIndex(int id) const {
    for (const auto& [list, top] : topIndex_) {
        if (list == id) return top;
    }
    return 0;
}

std::size_t Dialog::lineCount(int id) const {
    const std::string& t = text(id);
    std::size_t n = 1;
    for (std::size_t p = t.find("\r\n"); p != std::string::npos; p = t.find("\r\n", p + 2)) ++n;
    return n;
}

std::string Dialog::line(int id, std::size_t i) const {
    const std::string& t = text(id);
    std::size_t start = 0;
    for (std::size_t k = 0; k < i; ++k) {
        const std::size_t p = t.find("\r\n", start);
        if (p == std::string::npos) return {};
        start = p + 2;
    }
    const std::size_t end = t.find("\r\n", start);
    return t.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

bool Dialog::click(int id) {
    Control* c = find(id);
    if (c && (!c->enabled || !c->visible)) return false;
    if (c && c->kind == ControlKind::CheckBox) setChecked(id, !c->checked);
    for (auto& [cid, fn] : clickHandlers_) {
        if (cid == id) {
            // Copy: a handler may register handlers.
            Handler h = fn;
            h();
            return true;
        }
    }
    if (id == kIdOk) {
        end(kIdOk);
    } else if (id == kIdCancel) {
        cancel();
    }
    return c != nullptr || id == kIdOk || id == kIdCancel;
}

void Dialog::userSetText(int id, std::string_view text) {
    const Control& c = control(id);
    std::string t = (c.style & kUpperCase) ? upper(text) : std::string(text);
    if (c.maxLength > 0 && t.size() > static_cast<std::size_t>(c.maxLength)) t.resize(static_cast<std::size_t>(c.maxLength));
    setText(id, t);
}

void Dialog::select(int id, int index) { setSelection(id, index); }

void Dialog::pressEnter() {
    for (const Control& c : controls_) {
        if (c.kind == ControlKind::DefaultButton) {
            click(c.id);
            return;
        }
    }
    // No default button: Enter means OK.
    click(kIdOk);
}

void Dialog::cancel() {
    if (ended()) return;
    if (cancelHandler_) {
        Handler h = cancelHandler_;
        h();
    }
    end(kIdCancel);
}

void Dialog::timer(int timerId) {
    if (ended()) return;
    for (const auto& [tid, fn] : timerHandlers_) {
        if (tid == timerId) {
            Handler h = fn;
            h();
            return;
        }
    }
    if (timerHandler_) timerHandler_(timerId);
}

void Dialog::resize(int width, int height, SizeKind kind) {
    if (sizeHandler_) sizeHandler_(kind, width, height);
}

void Dialog::onClick(int id, Handler fn) {
    for (const auto& entry : clickHandlers_) {
        if (entry.first == id) refuseSecondHandler("control", id);
    }
    clickHandlers_.emplace_back(id, std::move(fn));
}

void Dialog::onTimer(int timerId, Handler fn) {
    for (const auto& entry : timerHandlers_) {
        if (entry.first == timerId) refuseSecondHandler("timer", timerId);
    }
    timerHandlers_.emplace_back(timerId, std::move(fn));
}

void Dialog::onTimer(TimerHandler fn) {
    if (timerHandler_) refuseSecondHandler("timer", 0);
    timerHandler_ = std::move(fn);
}

void Dialog::onSize(SizeHandler fn) {
    if (sizeHandler_) refuseSecondHandler("size", 0);
    sizeHandler_ = std::move(fn);
}

void Dialog::onCancel(Handler fn) {
    if (cancelHandler_) refuseSecondHandler("cancel", 0);
    cancelHandler_ = std::move(fn);
}

// Two subsystems answering the same control would silently lose one of them:
// a programming error, said at once.
void Dialog::refuseSecondHandler(const char* what, int id) const {
    throw std::logic_error("dialog " + std::to_string(id_) + ": a second " + what + " handler for " +
                           std::to_string(id));
}

int Dialog::subscribe(Observer fn) {
    const int token = nextToken_++;
    observers_.emplace_back(token, std::move(fn));
    return token;
}

void Dialog::unsubscribe(int token) {
    std::erase_if(observers_, [token](const auto& p) { return p.first == token; });
}

void Dialog::end(int result) {
    if (ended()) return;
    result_ = result;
    notify({kNoId, ChangeKind::Ended, result});
}

}  // namespace pemblor::ui
