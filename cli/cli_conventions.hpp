#pragma once
// The conventions every pemblorctl command follows, so that scripts can rely
// on them as on the other tools they run:
//
//   exit status  0 success, 1 the work failed, 2 a usage error (an unknown
//                command or option, a bad value, a script or settings file
//                that is refused);
//   errors       one line each on standard error, "pemblorctl: SUBJECT: REASON",
//                with the system's words for file errors (strerror);
//   results      on standard output; "-" names standard output (or standard
//                input, where a file is read);
//   --json       one document on standard output, stable field names, numbers
//                as numbers, times in ISO 8601 with their offset.
#include <ctime>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace pemblor::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// Writes "pemblorctl: subject: reason" (or "pemblorctl: reason" without a
// subject) to standard error and returns status, so that a command can end
// with `return fail(...)`.
int fail(std::string_view subject, std::string_view reason, int status = kExitFailed);

// Standard error with "pemblorctl: " before each line: for the tools below
// cli/ that write their errors as "SUBJECT: REASON" lines to a stream.
std::ostream& errorLines();

// Sends SIGINT and SIGTERM (and SIGHUP with hangUp) to handler, which must be
// async-signal-safe. Without SA_RESTART: a blocking read or wait returns.
void onStopSignals(void (*handler)(int), bool hangUp = false);

// "-" on the command line: standard input or output rather than a file.
inline bool isStandardStream(std::string_view name) { return name == "-"; }

// The name among candidates closest to word (fewest edits), for "did you
// mean"; empty when none is close enough to be a likely typo.
std::string nearestName(std::string_view word, const std::vector<std::string>& candidates);


}  // namespace pemblor::cli
