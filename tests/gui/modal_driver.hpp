#pragma once
// Drives modal windows in tests: waits (inside the nested event loop) until a
// modal widget of the wanted type is up, then runs a step on it. Should it
// never come, whatever modal window is up is closed, so that the test fails
// instead of waiting for ever.
#include <QApplication>
#include <QTimer>
#include <functional>

namespace pemblor::gui::testing {

template <class W>
void whenModal(std::function<void(W*)> step, std::function<bool(W*)> ready = {}, int triesLeft = 3000) {
    QTimer::singleShot(10, [step = std::move(step), ready = std::move(ready), triesLeft]() mutable {
        auto* w = qobject_cast<W*>(QApplication::activeModalWidget());
        if (w && w->isVisible() && (!ready || ready(w))) {
            step(w);
        } else if (triesLeft > 0) {
            whenModal<W>(std::move(step), std::move(ready), triesLeft - 1);
        } else if (QWidget* stuck = QApplication::activeModalWidget()) {
            qWarning("whenModal: the expected modal window never came; closing %s", stuck->metaObject()->className());
            stuck->close();
        }
    });
}

}  // namespace pemblor::gui::testing
