#pragma once
// Runs a shell command as a child of its own, its output to files, and takes
// the child's peak resident memory from the kernel's own account (wait4):
// what a size case costs, measured rather than guessed.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

namespace pemblor::testing {

// A forked child's peak also counts the pages it shared with its parent when
// it was forked. A test process under a sanitizer holds hundreds of MB of its
// own (shadow memory, quarantine), which then hides what the command itself
// costs: its peaks are shown, not held against a bound.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kPeakMeasurable = false;
#else
inline constexpr bool kPeakMeasurable = true;
#endif

struct MeasuredRun {
    int status = -1;       // exit status; 128 + n when signal n ended it
    long peakKiB = 0;      // the largest resident set of the command and its children
};

inline MeasuredRun runMeasured(const std::string& command) {
    MeasuredRun r;
    const pid_t pid = ::fork();
    if (pid < 0) return r;
    if (pid == 0) {
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int raw = 0;
    struct rusage usage {};
    if (::wait4(pid, &raw, 0, &usage) != pid) return r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    r.peakKiB = usage.ru_maxrss;
    return r;
}

}  // namespace pemblor::testing
