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

std::string isoTime(std::time_t t) {
    std::tm local{};
    ::localtime_r(&t, &local);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    const long offset = local.tm_gmtoff / 60;
    const long hours = (offset < 0 ? -offset : offset) / 60;
    const long minutes = (offset < 0 ? -offset : offset) % 60;
    std::snprintf(text + n, sizeof text - n, "%c%02ld:%02ld", offset < 0 ? '-' : '+', hours, minutes);
    return text;
}

}  // namespace pemblor::selftest
