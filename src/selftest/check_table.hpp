#pragma once
// The self-test's table: one row a check, in the order they ran, and what the
// run as a whole came to. Every way of showing it (terminal, output list,
// JSON, JUnit XML) is made from this.
#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace pemblor::selftest {

enum class Outcome { kPass, kFail, kSkip };

// "PASS", "FAIL", "SKIP".
std::string_view outcomeName(Outcome outcome);

struct CheckRow {
    std::string name;   // "driver.version": the group, a dot, the check
    std::string title;  // "driver version at least 0x01070605"
    Outcome outcome = Outcome::kSkip;
    std::string measured;  // what was found, "0x01070605"
    std::string limit;     // what it is held against, ">= 0x01070605"
    double seconds = 0;    // time the check took
    std::string meaning;   // a failure's (or a skip's) one line of explanation

    // The part of the name before the dot.
    std::string_view group() const;
};

// How a run ended, and the exit status it gives.
enum class Verdict {
    kPassed,       // 0: every check passed (or was skipped with a reason)
    kFailed,       // 1: a check failed
    kNotRun,       // 2: no card to test at that device number
    kInterrupted,  // 2: stopped before its end; the rows so far stand
};

struct CheckTable {
    int device = 0;
    std::string devicePath;
    std::string program;  // what the boot loads
    bool quick = false;
    bool reboot = false;
    double streamSeconds = 0;
    std::time_t started = 0;
    std::time_t finished = 0;
    double elapsed = 0;  // seconds from start to finish
    std::vector<CheckRow> rows;
    std::string notRun;  // why the self-test could not run; empty when it ran
    bool interrupted = false;

    Verdict verdict() const;
    int exitStatus() const;
    std::size_t count(Outcome outcome) const;
};

std::string_view verdictName(Verdict verdict);  // "pass", "fail", "not run", "interrupted"


}  // namespace pemblor::selftest
