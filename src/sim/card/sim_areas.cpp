#include "sim/card/sim_areas.hpp"

#include <algorithm>

#include "driver/little_endian.hpp"
#include "driver/request_codes.hpp"

namespace pemblor::sim {

namespace {

constexpr std::uint32_t kAreaWords[kAreaCount] = {driver::kStreamAreaWord, driver::kOriginalVideoAreaWord,
                                                  driver::kPreviewSlotsWord, driver::kFullPreviewWord};
// Bus addresses the driver reports beside each token (words 0, 4, 8, 12);
// the console keeps them without reading them.
constexpr std::uint32_t kBusAddresses[kAreaCount] = {0x1E000000, 0x1E400000, 0x1E800000, 0x1EC00000};

}  // namespace

std::uint32_t TokenSource::next() {
    // Page-sized steps make tokens look like the addresses they replace.
    std::uint32_t token = 0;
    do {
        token = last_.fetch_add(0x1000, std::memory_order_relaxed) + 0x1000;
    } while (token == 0 || token == 0xFFFFFFFFu);
    return token;
}

std::size_t MappedAreas::areaSize(AreaKind kind) {
    static constexpr std::size_t kSizes[kAreaCount] = {kEncodedStreamAreaSize, kOriginalVideoAreaSize,
                                                       kPreviewSlotsAreaSize, kFullPreviewAreaSize};
    return kSizes[static_cast<std::size_t>(kind)];
}

bool MappedAreas::tokenLive(std::uint32_t token) const {
    return std::any_of(mappings_.begin(), mappings_.end(), [&](const Mapping& m) {
        return std::find(m.tokens.begin(), m.tokens.end(), token) != m.tokens.end();
    });
}

std::uint32_t MappedAreas::freshToken(TokenSource& tokens) const {
    // Only after 2^20 mappings could a token come round again while in use.
    std::uint32_t token = tokens.next();
    while (tokenLive(token)) token = tokens.next();
    return token;
}

bool MappedAreas::map(std::uint64_t handle, std::span<std::uint8_t, kMappingRecordBytes> record,
                      TokenSource& tokens) {
    if (mappings_.size() >= kMaxMappings) return false;
    for (std::size_t a = 0; a < kAreaCount; ++a) {
        if ((*storage_)[a].empty() && !(*storage_)[a].allocate(areaSize(static_cast<AreaKind>(a)))) return false;
    }
    Mapping mapping{handle, {}, {}};
    for (std::size_t a = 0; a < kAreaCount; ++a) {
        mapping.tokens[a] = freshToken(tokens);
        const std::size_t group = kAreaWords[a] - 1;  // first word of the area's group of four
        driver::storeU32(mapping.record, group * 4, kBusAddresses[a]);
        driver::storeU32(mapping.record, kAreaWords[a] * 4, mapping.tokens[a]);
        driver::storeU32(mapping.record, (group + 2) * 4, static_cast<std::uint32_t>((*storage_)[a].bytes().size()));
        driver::storeU32(mapping.record, (group + 3) * 4, 0);
    }
    std::copy(mapping.record.begin(), mapping.record.end(), record.begin());
    mappings_.push_back(mapping);
    return true;
}

bool MappedAreas::unmap(std::span<const std::uint8_t> record) {
    const auto it = std::find_if(mappings_.begin(), mappings_.end(), [&](const Mapping& m) {
        return std::equal(record.begin(), record.end(), m.record.begin(), m.record.end());
    });
    if (it == mappings_.end()) return false;
    mappings_.erase(it);
    return true;
}

void MappedAreas::dropHandle(std::uint64_t handle) {
    std::erase_if(mappings_, [&](const Mapping& m) { return m.handle == handle; });
}

std::span<std::uint8_t> MappedAreas::resolve(std::uint32_t token) {
    for (const Mapping& m : mappings_) {
        for (std::size_t a = 0; a < kAreaCount; ++a)
            if (m.tokens[a] == token) return (*storage_)[a].bytes();
    }
    return {};
}

std::span<std::uint8_t> MappedAreas::storage(AreaKind kind) {
    ZeroedBuffer& buffer = (*storage_)[static_cast<std::size_t>(kind)];
    if (buffer.empty()) buffer.allocate(areaSize(kind));
    return buffer.bytes();
}

std::uint32_t MappedAreas::currentToken(AreaKind kind) const {
    return mappings_.empty() ? 0 : mappings_.back().tokens[static_cast<std::size_t>(kind)];
}

}  // namespace pemblor::sim
