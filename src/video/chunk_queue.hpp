#pragma once
// A bounded queue of byte chunks between one writer that must never wait and
// one reader that may. The storage is taken once: each slot holds up to
// chunkBytes bytes followed by `padding` zero bytes, which readers such as
// FFmpeg's parsers may read past the end of the data.
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace pemblor::video {

class ChunkQueue {
public:
    struct Chunk {
        std::span<const std::uint8_t> bytes;  // followed by the padding
        bool flush = false;
    };

    ChunkQueue(std::size_t depth, std::size_t chunkBytes, std::size_t padding);

    // Copies bytes into the next free slot. False, with nothing queued, when
    // every slot is taken, the chunk is too large or the queue is closed.
    bool push(std::span<const std::uint8_t> bytes, bool flush);

    // Waits for the oldest chunk; nothing once the queue is closed. The chunk
    // stays in its slot, untouched by push(), until pop().
    std::optional<Chunk> front();
    void pop();
    // Waits until the reader has popped every chunk (or the queue is closed).
    void waitUntilEmpty();

    // Wakes the reader and refuses pushes; queued chunks are dropped.
    void close();
    // Empty and open again.
    void reopen();

    std::size_t size() const;

private:
    std::uint8_t* slot(std::size_t index) { return storage_.get() + index * stride_; }

    const std::size_t depth_;
    const std::size_t chunkBytes_;
    const std::size_t stride_;
    std::unique_ptr<std::uint8_t[]> storage_;  // not cleared: push() writes what it hands out
    struct SlotInfo {
        std::uint32_t length = 0;
        bool flush = false;
    };
    std::vector<SlotInfo> info_;
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::condition_variable drained_;
    std::size_t head_ = 0;   // guarded by mutex_
    std::size_t count_ = 0;  // guarded by mutex_
    bool closed_ = false;    // guarded by mutex_
};

}  // namespace pemblor::video
