#pragma once
// The table as text, for a terminal and the console's output list: a header,
// one line a check (a failure's or a skip's meaning on the line under it),
// and a summary.
#include <string>
#include <vector>

#include "selftest/check_table.hpp"

namespace pemblor::selftest {

std::string tableHeader();
std::vector<std::string> rowLines(const CheckRow& row);
// "42 checks on \\.\KSVECWDM0: 41 passed, 1 failed, 0 skipped in 13.1 s: FAIL"
std::string summaryLine(const CheckTable& table);
// Header, rows and summary.
std::vector<std::string> tableLines(const CheckTable& table);

}  // namespace pemblor::selftest
