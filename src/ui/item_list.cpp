#include "ui/item_list.hpp"

#include <algorithm>

namespace pemblor::ui {

namespace {
char fold(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

int compareItems(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto ca = static_cast<unsigned char>(fold(a[i]));
        const auto cb = static_cast<unsigned char>(fold(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

std::size_t ItemList::append(std::string_view text) {
    insert(spans_.size(), text);
    return spans_.size() - 1;
}

ItemList::Span ItemList::store(std::string_view text) {
    if (chunks_.empty() || chunks_.back().capacity() - chunks_.back().size() < text.size()) {
        // Chunks grow from small (most lists hold a few items) to 1 MiB.
        const std::size_t last = chunks_.empty() ? 0 : chunks_.back().capacity();
        const std::size_t size = std::clamp(2 * last, kFirstChunkSize, kChunkSize);
        chunks_.emplace_back();
        chunks_.back().reserve(std::max(size, text.size()));
    }
    std::vector<char>& chunk = chunks_.back();
    const Span s{static_cast<std::uint32_t>(chunks_.size() - 1), static_cast<std::uint32_t>(chunk.size()),
                 static_cast<std::uint32_t>(text.size())};
    chunk.insert(chunk.end(), text.begin(), text.end());
    used_ += text.size();
    return s;
}

void ItemList::insert(std::size_t i, std::string_view text) {
    const Span s = store(text);
    if (i >= spans_.size()) {
        spans_.push_back(s);
    } else {
        spans_.insert(spans_.begin() + static_cast<std::ptrdiff_t>(i), s);
    }
}

std::size_t ItemList::sortedPosition(std::string_view text) const {
    // After equal items, as a sorted list box adds a duplicate.
    std::size_t lo = 0, hi = spans_.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (compareItems(at(mid), text) <= 0) {
            lo = mid + 1;
        } else {
            hi = mid;
        }
    }
    return lo;
}

void ItemList::remove(std::size_t i) {
    if (i >= spans_.size()) return;
    dead_ += spans_[i].length;
    spans_.erase(spans_.begin() + static_cast<std::ptrdiff_t>(i));
    compactIfWasteful();
}

void ItemList::clear() {
    chunks_.clear();
    chunks_.shrink_to_fit();
    spans_.clear();
    spans_.shrink_to_fit();
    used_ = 0;
    dead_ = 0;
}

int ItemList::find(std::string_view text) const {
    for (std::size_t i = 0; i < spans_.size(); ++i) {
        if (at(i) == text) return static_cast<int>(i);
    }
    return -1;
}

std::size_t ItemList::capacityBytes() const {
    std::size_t bytes = spans_.capacity() * sizeof(Span);
    for (const auto& c : chunks_) bytes += c.capacity();
    return bytes;
}

void ItemList::compactIfWasteful() {
    if (dead_ < 4096 || dead_ * 2 < used_) return;
    ItemList fresh;
    fresh.spans_.reserve(spans_.size());
    for (std::size_t i = 0; i < spans_.size(); ++i) fresh.spans_.push_back(fresh.store(at(i)));
    *this = std::move(fresh);
}

}  // namespace pemblor::ui
