#pragma once
// One file that reception writes. Writes go straight from the caller's bytes
// to the file: appended at once, or queued (the bytes must stay put until the
// next flush) and written together in one gathered write. The first failing
// write is reported to the sink, once; the file takes nothing more after it,
// so one full disk or removed folder never stops the other files.
// Every operation holds the file's own lock, so that a console that ends
// while the receive thread is held inside one file's write can finish the
// others (finishIfIdle); once the stop flag given at open is set, bytes
// that were handed over (they point into the card's areas) are dropped.
#include <sys/uio.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <span>

#include "common/receive_stats.hpp"

namespace pemblor::capture {

class WriteErrorSink {
public:
    // A write to the file at path failed with the errno value error. Called on
    // whichever thread wrote.
    virtual void writeFailed(const std::filesystem::path& path, int error) = 0;

protected:
    ~WriteErrorSink() = default;
};

class RecordingFile {
public:
    enum class Mode {
        kFresh,        // created anew, emptied, kept for this console alone
        kFreshShared,  // created anew, emptied, others may read
        kAppend,       // created if missing, never emptied, written at its end
    };

    RecordingFile() = default;
    ~RecordingFile() { close(); }
    RecordingFile(const RecordingFile&) = delete;
    RecordingFile& operator=(const RecordingFile&) = delete;

    // False when the file can't be opened, or in kFresh mode when another
    // console holds it. stop, when given, must outlive the file; so must
    // written, which counts every byte the file takes.
    bool open(const std::filesystem::path& path, Mode mode, WriteErrorSink& sink,
              const std::atomic<bool>* stop = nullptr, common::Total* written = nullptr);
    bool isOpen() const;
    bool failed() const;
    const std::filesystem::path& path() const { return path_; }

    void append(std::span<const std::uint8_t> bytes);
    // Queues bytes for the next flush (flushing first when the queue is full).
    void queue(std::span<const std::uint8_t> bytes) {
        if (bytes.empty()) return;
        const std::lock_guard lock(mutex_);
        if (queued_ == kMaxQueued) flushLocked();
        pending_[queued_++] = {const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
    }
    void flush() {
        const std::lock_guard lock(mutex_);
        flushLocked();
    }
    // Writes bytes at an offset (the header at 0) without moving the end.
    void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    void close();
    // Flushes, writes header at offset 0 (when not empty) and closes: at
    // once, or only when no other thread is inside an operation on the file
    // (then true when it did).
    void finish(std::span<const std::uint8_t> header);
    bool finishIfIdle(std::span<const std::uint8_t> header);

private:
    static constexpr int kMaxQueued = 64;

    bool stopped() const { return stop_ && stop_->load(std::memory_order_acquire); }
    void flushLocked() {
        if (queued_ != 0) writeQueued();
    }
    void writeAtLocked(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    void finishLocked(std::span<const std::uint8_t> header);
    void closeLocked();
    void writeQueued();
    // Writes every byte of the vectors, across short writes; false on failure.
    bool writeAll(iovec* vec, int count);
    void fail(int error);

    mutable std::mutex mutex_;
    const std::atomic<bool>* stop_ = nullptr;
    common::Total* written_ = nullptr;
    int fd_ = -1;
    int error_ = 0;
    std::filesystem::path path_;
    WriteErrorSink* sink_ = nullptr;
    std::array<iovec, kMaxQueued> pending_{};
    int queued_ = 0;
};

}  // namespace pemblor::capture
