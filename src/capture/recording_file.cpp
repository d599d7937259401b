#include "capture/recording_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace pemblor::capture {

bool RecordingFile::open(const std::filesystem::path& path, Mode mode, WriteErrorSink& sink,
                         const std::atomic<bool>* stop, common::Total* written) {
    close();
    const std::lock_guard lock(mutex_);
    int flags = O_CLOEXEC | O_CREAT;
    flags |= mode == Mode::kFresh ? O_RDWR : O_WRONLY;
    if (mode == Mode::kAppend) flags |= O_APPEND;
    // kFresh is emptied only once it is ours, so a file another console records stays whole.
    if (mode == Mode::kFreshShared) flags |= O_TRUNC;
    const int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) return false;
    if (mode == Mode::kFresh) {
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            ::close(fd);
            return false;
        }
        if (::ftruncate(fd, 0) != 0) {
            ::close(fd);
            return false;
        }
    }
    fd_ = fd;
    error_ = 0;
    path_ = path;
    sink_ = &sink;
    stop_ = stop;
    written_ = written;
    return true;
}

bool RecordingFile::isOpen() const {
    const std::lock_guard lock(mutex_);
    return fd_ >= 0;
}

bool RecordingFile::failed() const {
    const std::lock_guard lock(mutex_);
    return error_ != 0;
}

void RecordingFile::append(std::span<const std::uint8_t> bytes) {
    const std::lock_guard lock(mutex_);
    if (fd_ < 0 || error_ != 0 || bytes.empty()) return;
    iovec one{const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
    writeAll(&one, 1);
}

void RecordingFile::writeQueued() {
    const int count = queued_;
    queued_ = 0;
    if (fd_ < 0 || error_ != 0) return;
    writeAll(pending_.data(), count);
}

bool RecordingFile::writeAll(iovec* vec, int count) {
    while (count > 0) {
        // Checked again after a write that was held up: the bytes may be gone.
        if (stopped()) return false;
        const ssize_t n = ::writev(fd_, vec, count);
        if (n < 0) {
            if (errno == EINTR) continue;
            fail(errno);
            return false;
        }
        if (n == 0) {
            fail(EIO);
            return false;
        }
        if (written_) common::add(*written_, static_cast<std::uint64_t>(n));
        // Past the vectors written whole, then into the one cut short.
        auto left = static_cast<std::size_t>(n);
        while (count > 0 && left >= vec->iov_len) {
            left -= vec->iov_len;
            ++vec;
            --count;
        }
        if (count > 0) {
            vec->iov_base = static_cast<std::uint8_t*>(vec->iov_base) + left;
            vec->iov_len -= left;
        }
    }
    return true;
}

void RecordingFile::writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    const std::lock_guard lock(mutex_);
    writeAtLocked(offset, bytes);
}

void RecordingFile::writeAtLocked(std::uint64_t offset, std::span<const std::uint8_t> bytes) {
    if (fd_ < 0) return;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            fail(n < 0 ? errno : EIO);
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

void RecordingFile::fail(int error) {
    const bool first = error_ == 0;
    error_ = error;
    if (first && sink_) sink_->writeFailed(path_, error);
}

void RecordingFile::close() {
    const std::lock_guard lock(mutex_);
    closeLocked();
}

void RecordingFile::closeLocked() {
    if (fd_ < 0) return;
    flushLocked();
    ::close(fd_);  // also releases the lock of a kFresh file
    fd_ = -1;
    queued_ = 0;
}

void RecordingFile::finish(std::span<const std::uint8_t> header) {
    const std::lock_guard lock(mutex_);
    finishLocked(header);
}

bool RecordingFile::finishIfIdle(std::span<const std::uint8_t> header) {
    const std::unique_lock lock(mutex_, std::try_to_lock);
    if (!lock.owns_lock()) return false;
    finishLocked(header);
    return true;
}

void RecordingFile::finishLocked(std::span<const std::uint8_t> header) {
    if (fd_ < 0) return;
    flushLocked();
    if (!header.empty()) writeAtLocked(0, header);
    closeLocked();
}

}  // namespace pemblor::capture
