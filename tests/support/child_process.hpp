#pragma once
// A program run in the background for a test, its output in files; ended
// with a signal (or killed at the end of the test, if still running).
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace pemblor::testing {

class ChildProcess {
public:
    // Runs argv[0] with argv, standard output and error into out and err.
    ChildProcess(const std::vector<std::string>& argv, const std::filesystem::path& out,
                 const std::filesystem::path& err) {
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::dup2(o, 1);
            ::dup2(e, 2);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
    }
    ~ChildProcess() {
        if (running()) {
            ::kill(pid_, SIGKILL);
            wait(std::chrono::seconds(5));
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool running() const { return pid_ > 0 && status_ < 0; }
    // Sends signal and waits for the end: the exit status, -1 when it did not
    // end in time or ended by a signal.
    int stop(int signal, std::chrono::seconds within) {
        if (running()) ::kill(pid_, signal);
        return wait(within);
    }
    int wait(std::chrono::seconds within) {
        const auto until = std::chrono::steady_clock::now() + within;
        while (running() && std::chrono::steady_clock::now() < until) {
            int raw = 0;
            if (::waitpid(pid_, &raw, WNOHANG) == pid_) {
                status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 256;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return status_ >= 0 && status_ < 256 ? status_ : -1;
    }

private:
    pid_t pid_ = -1;
    int status_ = -1;
};

}  // namespace pemblor::testing
