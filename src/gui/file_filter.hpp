#pragma once
// File dialog filters in the console's notation, "Name|patterns|...||", turned
// into Qt name filters.
#include <QStringList>
#include <string_view>

namespace pemblor::gui {

// "CMD Files(*.cmd)|*.cmd|All Files(*.*)|*.*||" ->
// {"CMD Files(*.[cC][mM][dD])", "All Files(*)"}: patterns match either case
// and "*.*" means every file. A name that already shows its patterns in
// parentheses gets them replaced (the dialog hides this part and shows "CMD
// Files"); other names get them appended. "||" or a pair without a name or
// pattern ends the list.
QStringList qtNameFilters(std::string_view filter);

}  // namespace pemblor::gui
