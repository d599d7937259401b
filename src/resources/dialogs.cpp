#include "resources/dialogs.hpp"

namespace pemblor::resources {

const ui::DialogTemplate* dialogById(int id) {
    switch (id) {
        case kAboutDialogId: return &aboutDialog();
        case kConsoleDialogId: return &consoleDialog();
        case kPlayerDialogId: return &playerDialog();
        case kPreviewDialogId: return &previewDialog();
        case kIdentityDialogId: return &identityDialog();
        default: return nullptr;
    }
}

}  // namespace pemblor::resources
