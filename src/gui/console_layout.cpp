#include "gui/console_layout.hpp"

#include "resources/console_ids.hpp"
#include "resources/dialogs.hpp"

namespace pemblor::gui {

void applyConsoleLayout(ui::Dialog& console) {
    using namespace resources::console;
    if (console.id() != resources::kConsoleDialogId) return;
    const int lines[4] = {kChan1Line, kChan2Line, kChan3Line, kChan4Line};
    const ui::Rect first = console.control(kChan1Line).rect;
    // Channel lines keep their rows; the switches take the right end of each row.
    constexpr int kBox = 22, kColumnGap = 18;
    const int right = first.x + first.width;
    const int leftColumn = right - 2 * kBox - kColumnGap;
    for (int row = 0; row < 4; ++row) {
        ui::Rect line = console.control(lines[row]).rect;
        line.width = leftColumn - 8 - line.x;
        console.setGeometry(lines[row], line);
        const int y = line.y + (line.height - kBox) / 2;
        console.setGeometry(kChannelSwitchFirst + row, {leftColumn, y, kBox, kBox});
        console.setGeometry(kChannelSwitchFirst + 4 + row, {right - kBox, y, kBox, kBox});
    }
    // The row that followed the switches moves up under the channel lines.
    const ui::Rect last = console.control(kChan4Line).rect;
    const int y = last.y + last.height + 14;
    for (int id : {kUnknownCheck, kStart, kStop}) {
        ui::Rect r = console.control(id).rect;
        r.y = y;
        console.setGeometry(id, r);
    }
}

}  // namespace pemblor::gui
