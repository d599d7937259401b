#include "sim/production/sha256.hpp"

#include <array>
#include <cstdio>
#include <cstring>
#include <vector>

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/sha.h>
}

namespace pemblor::sim {

void Sha256::Free::operator()(AVSHA* p) const { av_free(p); }

Sha256::Sha256() : state_(av_sha_alloc()) {
    if (state_) av_sha_init(state_.get(), 256);
}

Sha256::~Sha256() = default;

void Sha256::update(std::span<const std::uint8_t> bytes) {
    // av_sha_update takes its length as an unsigned int: big spans go in pieces.
    constexpr std::size_t kPiece = 1u << 30;
    for (std::size_t at = 0; state_ && at < bytes.size(); at += kPiece) {
        const std::size_t n = std::min(kPiece, bytes.size() - at);
        av_sha_update(state_.get(), bytes.data() + at, static_cast<unsigned>(n));
    }
}

// The digest of a copy, so that the running state goes on.
std::string Sha256::hex() const {
    if (!state_) return {};
    std::vector<std::uint8_t> copy(static_cast<std::size_t>(av_sha_size));
    std::memcpy(copy.data(), state_.get(), copy.size());
    std::array<std::uint8_t, 32> digest{};
    av_sha_final(reinterpret_cast<AVSHA*>(copy.data()), digest.data());
    std::string text;
    char pair[3];
    for (std::uint8_t b : digest) {
        std::snprintf(pair, sizeof pair, "%02x", b);
        text += pair;
    }
    return text;
}

}  // namespace pemblor::sim
