#include "common/replacing_file.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

namespace pemblor::common {

namespace {

// The temporary files the stop-signal handler removes: fixed slots, so that
// the handler reads nothing but atomics and plain characters.
constexpr int kSlots = 32;
constexpr std::size_t kPathMax = 4096;
struct Slot {
    std::atomic<bool> used{false};
    std::atomic<bool> ready{false};
    std::array<char, kPathMax> path{};
};
std::array<Slot, kSlots> gSlots;

int takeSlot(const std::filesystem::path& p) {
    const std::string& s = p.native();
    if (s.size() >= kPathMax) return -1;
    for (int i = 0; i < kSlots; ++i) {
        bool expected = false;
        if (!gSlots[i].used.compare_exchange_strong(expected, true)) continue;
        std::memcpy(gSlots[i].path.data(), s.c_str(), s.size() + 1);
        gSlots[i].ready.store(true, std::memory_order_release);
        return i;
    }
    return -1;  // more at once than the table holds: those are not removed on a signal
}

void releaseSlot(int i) {
    if (i < 0) return;
    gSlots[i].ready.store(false, std::memory_order_release);
    gSlots[i].used.store(false, std::memory_order_release);
}

void onStopSignal(int signo) {
    removeTemporaryFiles();
    ::signal(signo, SIG_DFL);
    ::raise(signo);
}

// The file a target names when it is a symbolic link (followed to its end).
std::filesystem::path resolved(const std::filesystem::path& target) {
    std::error_code ec;
    if (!std::filesystem::is_symlink(target, ec)) return target;
    const std::filesystem::path real = std::filesystem::weakly_canonical(target, ec);
    return ec ? target : real;
}

}  // namespace

void removeTemporaryFiles() {
    for (Slot& s : gSlots) {
        if (s.ready.load(std::memory_order_acquire)) ::unlink(s.path.data());
    }
}

void removeTemporaryFilesOnStopSignals() {
    struct sigaction sa {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool ReplacingFile::open(const std::filesystem::path& target) {
    abandon();
    error_ = 0;
    target_ = resolved(target);
    // A device, a FIFO or a socket is written as it is: renaming a file onto
    // it would replace /dev/null itself for a program run as root.
    struct stat existing {};
    if (::stat(target_.c_str(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        if (S_ISDIR(existing.st_mode)) return fail(EISDIR);
        const int fd = ::open(target_.c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) return fail(errno);
        fd_ = fd;
        direct_ = true;
        return true;
    }
    std::filesystem::path folder = target_.parent_path();
    if (folder.empty()) folder = ".";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = "." + target_.filename().string() + "." + std::to_string(random() % 1000000000u) + ".tmp";
        const std::filesystem::path candidate = folder / name;
        // 0666 less the umask, as a file the program created directly would be.
        const int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return fail(errno);
        }
        fd_ = fd;
        temporary_ = candidate;
        slot_ = takeSlot(temporary_);
        // A file that is replaced keeps its permissions.
        struct stat old {};
        if (::stat(target_.c_str(), &old) == 0 && S_ISREG(old.st_mode)) ::fchmod(fd_, old.st_mode & 07777);
        return true;
    }
    return fail(EEXIST);
}

bool ReplacingFile::write(std::span<const std::uint8_t> bytes) {
    if (fd_ < 0) return fail(EBADF);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return fail(n < 0 ? errno : EIO);
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool ReplacingFile::write(std::string_view text) {
    return write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

bool ReplacingFile::commit() {
    if (direct_) {
        direct_ = false;
        const int closed = ::close(fd_);
        fd_ = -1;
        return closed == 0 || fail(errno);
    }
    if (temporary_.empty()) return fail(EBADF);
    if (fd_ >= 0) {
        // A full disk may only show when the data reach it.
        if (::fsync(fd_) != 0 && errno != EINVAL) {
            const int e = errno;
            abandon();
            return fail(e);
        }
        const int closed = ::close(fd_);
        fd_ = -1;
        if (closed != 0) {
            const int e = errno;
            abandon();
            return fail(e);
        }
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0) {
        const int e = errno;
        abandon();
        return fail(e);
    }
    releaseSlot(slot_);
    slot_ = -1;
    temporary_.clear();
    return true;
}

void ReplacingFile::abandon() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    direct_ = false;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    releaseSlot(slot_);
    slot_ = -1;
    temporary_.clear();
}

bool ReplacingFile::fail(int error) {
    error_ = error;
    return false;
}

std::string ReplacingFile::errorText() const {
    return target_.string() + ": " + std::system_category().message(error_);
}

}  // namespace pemblor::common
