#pragma once
// The items of a list or combo box, kept compactly: the text in chunks of up to 1 MiB
// (growing never copies what is there) and one small record per item, so
// that an output list of a million lines costs little more than its text.
// Sorted lists insert in case-insensitive order, as dialog list boxes
// conventionally do.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace pemblor::ui {

class ItemList {
public:
    std::size_t size() const { return spans_.size(); }
    bool empty() const { return spans_.empty(); }
    std::string_view at(std::size_t i) const {
        const Span& s = spans_[i];
        return {chunks_[s.chunk].data() + s.offset, s.length};
    }
    // Appends at the end; returns the index.
    std::size_t append(std::string_view text);
    // Inserts before index i (i == size() appends).
    void insert(std::size_t i, std::string_view text);
    // Index where a sorted list would insert text.
    std::size_t sortedPosition(std::string_view text) const;
    void remove(std::size_t i);
    void clear();
    // Index of the first item equal to text (exactly), or -1.
    int find(std::string_view text) const;
    // Bytes held by the list, for memory figures.
    std::size_t capacityBytes() const;

private:
    struct Span {
        std::uint32_t chunk;
        std::uint32_t offset;
        std::uint32_t length;
    };
    static constexpr std::size_t kFirstChunkSize = 256;
    static constexpr std::size_t kChunkSize = 1u << 20;

    Span store(std::string_view text);
    void compactIfWasteful();

    std::vector<std::vector<char>> chunks_;  // each keeps its capacity: data never moves
    std::vector<Span> spans_;
    std::size_t used_ = 0;  // text bytes stored
    std::size_t dead_ = 0;  // text bytes no longer referenced
};

// Case-insensitive (ASCII) comparison used by sorted lists.
int compareItems(std::string_view a, std::string_view b);

}  // namespace pemblor::ui
