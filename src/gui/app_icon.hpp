#pragma once
// The program's icon, drawn in code: an encoder card with its DSP chip and a
// play mark, at the sizes window systems ask for.
#include <QIcon>

namespace pemblor::gui {

QIcon applicationIcon();

}  // namespace pemblor::gui
