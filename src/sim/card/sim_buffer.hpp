#pragma once
// A zero-filled block of card memory. Taken from calloc, so that megabytes the
// console never touches cost no page and no clearing: a register write into an
// 8 MB window or the first mapping of the areas stays cheap.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>

namespace pemblor::sim {

class ZeroedBuffer {
public:
    ZeroedBuffer() = default;

    // False (and the buffer stays empty) when the memory cannot be had.
    bool allocate(std::size_t size) {
        data_.reset(static_cast<std::uint8_t*>(std::calloc(size, 1)));
        size_ = data_ ? size : 0;
        return data_ != nullptr;
    }
    bool empty() const { return size_ == 0; }
    std::span<std::uint8_t> bytes() { return {data_.get(), size_}; }
    std::span<const std::uint8_t> bytes() const { return {data_.get(), size_}; }

private:
    struct Free {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    std::unique_ptr<std::uint8_t[], Free> data_;
    std::size_t size_ = 0;
};

}  // namespace pemblor::sim
