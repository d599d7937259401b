#pragma once
// Writes small TI COFF executables of the three layouts: the file header, an
// optional header, the section headers, then each section's raw data in
// order. The build makes the sample DSP program with it; the tests make
// their programs with it, any field overridden to make hostile files.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "driver/little_endian.hpp"
#include "program/coff_image.hpp"

namespace pemblor::program {

enum class CoffLayout { k93, kC1, kC2 };

struct CoffSection {
    std::uint32_t address = 0;
    std::uint32_t flags = 0;
    std::vector<std::uint8_t> data;
    std::optional<std::uint32_t> size = std::nullopt;       // default: data.size()
    std::optional<std::uint32_t> rawOffset = std::nullopt;  // default: where data is placed (0 when there is none)
    std::string name = ".sect";
};

class CoffWriter {
public:
    explicit CoffWriter(CoffLayout layout) : layout_(layout) {}

    CoffWriter& optionalHeader(std::uint16_t size) {
        optionalHeaderSize_ = size;
        return *this;
    }
    CoffWriter& countOverride(std::uint16_t count) {
        countOverride_ = count;
        return *this;
    }
    CoffWriter& version(std::uint16_t v) {
        versionOverride_ = v;
        return *this;
    }
    CoffWriter& add(CoffSection s) {
        sections_.push_back(std::move(s));
        return *this;
    }

    std::size_t fileHeaderSize() const { return layout_ == CoffLayout::k93 ? 20 : 22; }
    std::size_t sectionHeaderSize() const { return layout_ == CoffLayout::kC2 ? 48 : 40; }
    std::size_t headersEnd() const {
        return fileHeaderSize() + optionalHeaderSize_ + sections_.size() * sectionHeaderSize();
    }
    // Where section k's data lands in the built file.
    std::uint32_t dataOffset(std::size_t k) const {
        std::size_t at = headersEnd();
        for (std::size_t s = 0; s < k; ++s) at += sections_[s].data.size();
        return static_cast<std::uint32_t>(at);
    }

    std::vector<std::uint8_t> build() const {
        std::vector<std::uint8_t> out(headersEnd(), 0);
        using driver::storeU16;
        using driver::storeU32;
        storeU16(out, 0, versionOverride_.value_or(defaultVersion()));
        storeU16(out, 2, countOverride_.value_or(static_cast<std::uint16_t>(sections_.size())));
        storeU32(out, 4, 0x65A1B2C3);  // time stamp
        storeU16(out, 16, optionalHeaderSize_);
        storeU16(out, 18, 0x0002);     // executable
        if (fileHeaderSize() == 22) storeU16(out, 20, 0x0099);  // target id
        for (std::size_t k = 0; k < sections_.size(); ++k) writeHeader(out, k);
        for (const CoffSection& s : sections_) out.insert(out.end(), s.data.begin(), s.data.end());
        return out;
    }

private:
    std::uint16_t defaultVersion() const {
        switch (layout_) {
        case CoffLayout::k93: return kCoffVersion93;
        case CoffLayout::kC1: return kCoffVersionC1;
        case CoffLayout::kC2: return kCoffVersionC2;
        }
        return 0;
    }

    void writeHeader(std::vector<std::uint8_t>& out, std::size_t k) const {
        using driver::storeU16;
        using driver::storeU32;
        const CoffSection& s = sections_[k];
        const std::size_t at = fileHeaderSize() + optionalHeaderSize_ + k * sectionHeaderSize();
        for (std::size_t c = 0; c < 8 && c < s.name.size(); ++c) out[at + c] = static_cast<std::uint8_t>(s.name[c]);
        const std::uint32_t raw = s.rawOffset.value_or(s.data.empty() ? 0 : dataOffset(k));
        storeU32(out, at + 8, s.address);  // physical address
        storeU32(out, at + 12, s.address);
        storeU32(out, at + 16, s.size.value_or(static_cast<std::uint32_t>(s.data.size())));
        storeU32(out, at + 20, raw);
        if (sectionHeaderSize() == 40) {
            storeU16(out, at + 36, static_cast<std::uint16_t>(s.flags));
            out[at + 39] = 1;  // memory page, right after the 16-bit flags
        } else {
            // Line-number count where the narrow layout keeps its flags: it
            // must not be taken for flags (0x0081 would exclude the section).
            storeU32(out, at + 36, 0x0081);
            storeU32(out, at + 40, s.flags);
        }
    }

    CoffLayout layout_;
    std::uint16_t optionalHeaderSize_ = 0;
    std::optional<std::uint16_t> countOverride_;
    std::optional<std::uint16_t> versionOverride_;
    std::vector<CoffSection> sections_;
};

struct CopyRecord {
    std::uint32_t address;
    std::vector<std::uint32_t> words;
};

// Copy-section raw data: each record's count, address and words, then a
// record with count 0 (unless terminated is false).
inline std::vector<std::uint8_t> copyRecords(const std::vector<CopyRecord>& records, bool terminated = true) {
    std::vector<std::uint8_t> out;
    auto put = [&out](std::uint32_t v) {
        const std::size_t at = out.size();
        out.resize(at + 4);
        driver::storeU32(out, at, v);
    };
    for (const CopyRecord& r : records) {
        put(static_cast<std::uint32_t>(r.words.size()));
        put(r.address);
        for (std::uint32_t w : r.words) put(w);
    }
    if (terminated) put(0);
    return out;
}

}  // namespace pemblor::program
