#pragma once
// A control of a dialog template in one expression; the templates set the
// remaining fields (visibility, items, limits) on the result where they differ.
#include <string>
#include <utility>

#include "ui/dialog_template.hpp"

namespace pemblor::resources {

inline ui::ControlTemplate control(int id, ui::ControlKind kind, std::string caption, ui::Rect rect,
                                   std::uint32_t style = ui::kStyleNone) {
    ui::ControlTemplate c;
    c.id = id;
    c.kind = kind;
    c.caption = std::move(caption);
    c.rect = rect;
    c.style = style;
    return c;
}

}  // namespace pemblor::resources
