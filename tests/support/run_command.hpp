#pragma once
// Runs a shell command and collects its standard output and exit status, for
// tests of the binaries as an operator runs them.
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace pemblor::testing {

struct CommandResult {
    std::string out;
    int status = -1;
};

inline CommandResult runCommand(const std::string& command) {
    CommandResult r;
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return r;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) r.out.append(buf, n);
    const int raw = ::pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

}  // namespace pemblor::testing
