#pragma once
// One file that reception writes. Writes go straight from the caller's bytes
// to the file: appended at once, or queued (the bytes must stay put until the
// next flush) and written together in one gathered write. The first failing
// write is reported to the sink, once; the file takes nothing more after it,
// so one full disk or removed folder never stops the other files.
#include <sys/uio.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>

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
    // console holds it.
    bool open(const std::filesystem::path& path, Mode mode, WriteErrorSink& sink);
    bool isOpen() const { return fd_ >= 0; }
    bool failed() const { return error_ != 0; }
    const std::filesystem::path& path() const { return path_; }

    void append(std::span<const std::uint8_t> bytes);
    // Queues bytes for the next flush (flushing first when the queue is full).
    void queue(std::span<const std::uint8_t> bytes) {
        if (bytes.empty()) return;
        if (queued_ == kMaxQueued) flush();
        pending_[queued_++] = {const_cast<std::uint8_t*>(bytes.data()), bytes.size()};
    }
    void flush() {
        if (queued_ != 0) writeQueued();
    }
    // Writes bytes at an offset (the header at 0) without moving the end.
    void writeAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    void close();

private:
    static constexpr int kMaxQueued = 64;

    void writeQueued();
    // Writes every byte of the vectors, across short writes; false on failure.
    bool writeAll(iovec* vec, int count);
    void fail(int error);

    int fd_ = -1;
    int error_ = 0;
    std::filesystem::path path_;
    WriteErrorSink* sink_ = nullptr;
    std::array<iovec, kMaxQueued> pending_{};
    int queued_ = 0;
};

}  // namespace pemblor::capture
