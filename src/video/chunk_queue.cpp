#include "video/chunk_queue.hpp"

#include <cstring>

namespace pemblor::video {

ChunkQueue::ChunkQueue(std::size_t depth, std::size_t chunkBytes, std::size_t padding)
    : depth_(depth), chunkBytes_(chunkBytes), stride_(chunkBytes + padding), storage_(std::make_unique_for_overwrite<std::uint8_t[]>(depth * stride_)),
      info_(depth) {}

bool ChunkQueue::push(std::span<const std::uint8_t> bytes, bool flush) {
    if (bytes.size() > chunkBytes_) return false;
    {
        // The copy is done under the lock: at most one slot's worth, and the
        // reader holds the lock only to look at the counts.
        std::lock_guard lock(mutex_);
        if (closed_ || count_ == depth_) return false;
        const std::size_t index = (head_ + count_) % depth_;
        std::uint8_t* at = slot(index);
        if (!bytes.empty()) std::memcpy(at, bytes.data(), bytes.size());
        // Zero what a reader may look at past the data.
        std::memset(at + bytes.size(), 0, stride_ - chunkBytes_);
        info_[index] = {static_cast<std::uint32_t>(bytes.size()), flush};
        ++count_;
    }
    ready_.notify_one();
    return true;
}

std::optional<ChunkQueue::Chunk> ChunkQueue::front() {
    std::unique_lock lock(mutex_);
    ready_.wait(lock, [this] { return closed_ || count_ > 0; });
    if (closed_) return std::nullopt;
    const SlotInfo& info = info_[head_];
    return Chunk{{slot(head_), info.length}, info.flush};
}

void ChunkQueue::pop() {
    {
        std::lock_guard lock(mutex_);
        if (count_ == 0) return;
        head_ = (head_ + 1) % depth_;
        --count_;
        if (count_ != 0) return;
    }
    drained_.notify_all();
}

void ChunkQueue::waitUntilEmpty() {
    std::unique_lock lock(mutex_);
    drained_.wait(lock, [this] { return closed_ || count_ == 0; });
}

void ChunkQueue::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        head_ = 0;
        count_ = 0;
    }
    ready_.notify_all();
    drained_.notify_all();
}

void ChunkQueue::reopen() {
    std::lock_guard lock(mutex_);
    closed_ = false;
    head_ = 0;
    count_ = 0;
}

std::size_t ChunkQueue::size() const {
    std::lock_guard lock(mutex_);
    return count_;
}

}  // namespace pemblor::video
