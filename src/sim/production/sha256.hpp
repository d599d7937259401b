#pragma once
// A running SHA-256 (libavutil's): bytes in, in order; the digest of what
// went in so far, as lower-case hex, at any time.
#include <cstdint>
#include <memory>
#include <span>
#include <string>

struct AVSHA;

namespace pemblor::sim {

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void update(std::span<const std::uint8_t> bytes);
    std::string hex() const;

private:
    struct Free {
        void operator()(AVSHA* p) const;
    };
    std::unique_ptr<AVSHA, Free> state_;
};

}  // namespace pemblor::sim
