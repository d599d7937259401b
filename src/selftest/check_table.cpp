#include "selftest/check_table.hpp"

#include <algorithm>
#include <cstdio>

namespace pemblor::selftest {

std::string_view outcomeName(Outcome outcome) {
    switch (outcome) {
        case Outcome::kPass: return "PASS";
        case Outcome::kFail: return "FAIL";
        case Outcome::kSkip: return "SKIP";
    }
    return "SKIP";
}

std::string_view CheckRow::group() const {
    const std::string_view n = name;
    return n.substr(0, n.find('.'));
}

Verdict CheckTable::verdict() const {
    if (!notRun.empty()) return Verdict::kNotRun;
    if (interrupted) return Verdict::kInterrupted;
    return count(Outcome::kFail) > 0 ? Verdict::kFailed : Verdict::kPassed;
}

int CheckTable::exitStatus() const {
    switch (verdict()) {
        case Verdict::kPassed: return 0;
        case Verdict::kFailed: return 1;
        default: return 2;
    }
}

std::size_t CheckTable::count(Outcome outcome) const {
    return static_cast<std::size_t>(
        std::count_if(rows.begin(), rows.end(), [outcome](const CheckRow& r) { return r.outcome == outcome; }));
}

std::string_view verdictName(Verdict verdict) {
    switch (verdict) {
        case Verdict::kPassed: return "pass";
        case Verdict::kFailed: return "fail";
        case Verdict::kNotRun: return "not run";
        case Verdict::kInterrupted: return "interrupted";
    }
    return "fail";
}

}  // namespace pemblor::selftest
