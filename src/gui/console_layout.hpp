#pragma once
// Places of console controls that the desktop view improves on: the eight
// channel switches stand in two columns beside the four channel lines they
// belong to, and the row below them moves up. Applied to the model before the
// view is built, so that every later placement (the lock's list resizing)
// starts from what is shown.
#include "ui/dialog.hpp"

namespace pemblor::gui {

void applyConsoleLayout(ui::Dialog& console);

}  // namespace pemblor::gui
