#include "selftest/table_text.hpp"

#include "common/printf_line.hpp"

namespace pemblor::selftest {

namespace {
constexpr const char* kRowFormat = "%-24s %-6s %-30s %-26s %s";
}  // namespace

std::string tableHeader() { return common::printfLine(kRowFormat, "CHECK", "RESULT", "MEASURED", "LIMIT", "TIME"); }

std::vector<std::string> rowLines(const CheckRow& row) {
    const std::string time = row.outcome == Outcome::kSkip ? "" : common::printfLine("%.3f s", row.seconds);
    std::vector<std::string> lines{common::printfLine(kRowFormat, row.name.c_str(),
                                                      std::string(outcomeName(row.outcome)).c_str(),
                                                      row.measured.c_str(), row.limit.c_str(), time.c_str())};
    // Trailing blanks of the empty columns go.
    lines[0].erase(lines[0].find_last_not_of(' ') + 1);
    if (row.outcome != Outcome::kPass && !row.meaning.empty()) lines.push_back("    " + row.meaning);
    return lines;
}

std::string summaryLine(const CheckTable& table) {
    if (!table.notRun.empty()) return "self-test not run: " + table.notRun;
    std::string verdict(verdictName(table.verdict()));
    for (char& c : verdict) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return common::printfLine("%zu checks on %s: %zu passed, %zu failed, %zu skipped in %.1f s: %s", table.rows.size(),
                              table.devicePath.c_str(), table.count(Outcome::kPass), table.count(Outcome::kFail),
                              table.count(Outcome::kSkip), table.elapsed, verdict.c_str());
}

std::vector<std::string> tableLines(const CheckTable& table) {
    std::vector<std::string> lines{tableHeader()};
    for (const CheckRow& row : table.rows) {
        for (std::string& line : rowLines(row)) lines.push_back(std::move(line));
    }
    lines.push_back(summaryLine(table));
    return lines;
}

}  // namespace pemblor::selftest
