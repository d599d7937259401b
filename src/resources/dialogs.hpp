#pragma once
// The program's dialog templates, the one source that both the Qt view and the
// script host build from.
#include "ui/dialog_template.hpp"

namespace pemblor::resources {

inline constexpr int kAboutDialogId = 100;
inline constexpr int kConsoleDialogId = 102;
inline constexpr int kPlayerDialogId = 130;
inline constexpr int kPreviewDialogId = 131;
inline constexpr int kIdentityDialogId = 132;

const ui::DialogTemplate& consoleDialog();   // 102
const ui::DialogTemplate& aboutDialog();     // 100
const ui::DialogTemplate& playerDialog();    // 130
const ui::DialogTemplate& previewDialog();   // 131
const ui::DialogTemplate& identityDialog();  // 132

// The template of a dialog id, or null.
const ui::DialogTemplate* dialogById(int id);

}  // namespace pemblor::resources
