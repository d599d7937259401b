#pragma once
// File dialog filters in the console's notation, "Name|patterns|...||", turned
// into Qt name filters.
#include <QStringList>
#include <string_view>

namespace pemblor::gui {

// "CMD Files(*.cmd)|*.cmd|All Files(*.*)|*.*||" ->
// {"CMD Files(*.cmd)", "All Files(*)"}. A name that already shows its
// patterns in parentheses keeps them, with "*.*" meaning every file; other
// names get the patterns appended. Pairs without a name or pattern are dropped.
QStringList qtNameFilters(std::string_view filter);

}  // namespace pemblor::gui
