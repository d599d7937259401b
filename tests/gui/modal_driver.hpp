#pragma once
// Drives modal windows in tests: waits (inside the nested event loop) until a
// modal widget of the wanted type is up, then runs a step on it.
#include <QApplication>
#include <QTimer>
#include <functional>

namespace pemblor::gui::testing {

template <class W>
void whenModal(std::function<void(W*)> step, int triesLeft = 500) {
    QTimer::singleShot(10, [step = std::move(step), triesLeft]() mutable {
        if (auto* w = qobject_cast<W*>(QApplication::activeModalWidget()); w && w->isVisible()) {
            step(w);
        } else if (triesLeft > 0) {
            whenModal<W>(std::move(step), triesLeft - 1);
        }
    });
}

}  // namespace pemblor::gui::testing
