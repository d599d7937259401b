#include "picture_generators.hpp"

#include <algorithm>
#include <cmath>
#include <random>

namespace pemblor::video::testing {

namespace {

using Plane = std::vector<std::uint8_t>;

std::uint8_t clampByte(int v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

void fillNoise(Plane& p, std::mt19937& rng) {
    std::uniform_int_distribution<int> byte(0, 255);
    for (auto& b : p) b = static_cast<std::uint8_t>(byte(rng));
}

void fillLowNoise(Plane& p, std::mt19937& rng) {
    const int level = std::uniform_int_distribution<int>(2, 253)(rng);
    std::uniform_int_distribution<int> delta(-2, 2);
    for (auto& b : p) b = clampByte(level + delta(rng));
}

void fillStripes(Plane& p, int width, int height, std::mt19937& rng) {
    const int kind = std::uniform_int_distribution<int>(0, 2)(rng);
    const int period = std::uniform_int_distribution<int>(1, 8)(rng);
    const int a = std::uniform_int_distribution<int>(0, 255)(rng);
    const int b = std::uniform_int_distribution<int>(0, 255)(rng);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int band = kind == 0 ? y / period : kind == 1 ? x / period : x / period + y / period;
            p[y * width + x] = static_cast<std::uint8_t>(band % 2 ? a : b);
        }
    }
}

// Each field samples the scene at its own time: objects move between fields.
void fillCombingMotion(Plane& p, int width, int height, std::mt19937& rng) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double fx = 0.05 + 0.2 * unit(rng);
    const double fy = 0.03 + 0.2 * unit(rng);
    struct Box {
        int x, y, w, h, vx, vy, level;
    };
    Box boxes[4];
    for (Box& b : boxes) {
        b.w = std::uniform_int_distribution<int>(4, std::max(4, width / 3))(rng);
        b.h = std::uniform_int_distribution<int>(4, std::max(4, height / 3))(rng);
        b.x = std::uniform_int_distribution<int>(-b.w / 2, width)(rng);
        b.y = std::uniform_int_distribution<int>(-b.h / 2, height)(rng);
        b.vx = std::uniform_int_distribution<int>(-12, 12)(rng);
        b.vy = std::uniform_int_distribution<int>(-4, 4)(rng);
        b.level = std::uniform_int_distribution<int>(0, 255)(rng);
    }
    std::uniform_int_distribution<int> grain(-3, 3);
    for (int y = 0; y < height; ++y) {
        const int field = y & 1;
        for (int x = 0; x < width; ++x) {
            int v = static_cast<int>(128 + 60 * std::sin(x * fx) + 40 * std::cos(y * fy));
            for (const Box& b : boxes) {
                const int bx = b.x + field * b.vx;
                const int by = b.y + field * b.vy;
                if (x >= bx && x < bx + b.w && y >= by && y < by + b.h) v = b.level;
            }
            p[y * width + x] = clampByte(v + grain(rng));
        }
    }
}

// Last-strip column patterns (lines 0 to 6 of the strip); votes of the three
// groups noted alongside.
constexpr int kLastStripPatterns[][7] = {
    {0, 3, 0, 0, 3, 0, 0},  // one vote: two-tap
    {0, 3, 0, 0, 0, 0, 3},  // two votes: three-tap
    {0, 0, 0, 3, 0, 0, 0},  // two votes (last two)
    {0, 3, 0, 0, 3, 0, 1},  // two votes (first and last)
    {0, 3, 0, 0, 0, 0, 0},  // three votes
    {0, 2, 0, 0, 0, 0, 0},  // cross exactly 4: no vote
    {0, 3, 3, 0, 0, 0, 0},  // same equals cross: no vote in the first group
};

void fillThresholds(Plane& p, int width, int height, std::mt19937& rng) {
    const int level = std::uniform_int_distribution<int>(10, 245)(rng);
    std::fill(p.begin(), p.end(), static_cast<std::uint8_t>(level));
    std::uniform_int_distribution<int> pick(0, 9);
    std::uniform_int_distribution<int> group(0, 3);
    std::uniform_int_distribution<int> column(0, 6);
    constexpr int kPatterns = static_cast<int>(std::size(kThresholdPatterns));
    for (int y = 0; y + 8 < height; y += 8) {
        for (int x = 0; x < width; x += 8) {
            const int k = pick(rng);
            if (k >= kPatterns) continue;
            applyPattern(p, width, kThresholdPatterns[k], x + column(rng), y + 2 * group(rng));
        }
    }
    const int top = height - 8;
    constexpr int kLast = static_cast<int>(std::size(kLastStripPatterns));
    std::uniform_int_distribution<int> lastPick(0, kLast);
    for (int x = 0; x < width; x += 8) {
        const int k = lastPick(rng);
        if (k == kLast) continue;
        const int c = x + column(rng);
        for (int i = 0; i < 7; ++i) p[(top + i) * width + c] = clampByte(level + kLastStripPatterns[k][i]);
    }
}

void fillExtremes(Plane& p, int width, int height, std::mt19937& rng) {
    std::uniform_int_distribution<int> style(0, 3);
    std::bernoulli_distribution coin(0.5);
    for (int y = 0; y < height; y += 8) {
        for (int x = 0; x < width; x += 8) {
            const int s = style(rng);
            for (int dy = 0; dy < 8; ++dy) {
                for (int dx = 0; dx < 8; ++dx) {
                    const bool high = s == 0 ? (dy & 1) : s == 1 ? ((dx + dy) & 1) : s == 2 ? coin(rng) : false;
                    p[(y + dy) * width + x + dx] = high ? 255 : 0;
                }
            }
        }
    }
}

}  // namespace

std::vector<std::uint8_t> makePicture(PictureKind kind, int width, int height, std::uint32_t seed) {
    Plane p(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    std::mt19937 rng(seed);
    switch (kind) {
        case PictureKind::Noise:
            fillNoise(p, rng);
            break;
        case PictureKind::LowNoise:
            fillLowNoise(p, rng);
            break;
        case PictureKind::Flat:
            std::fill(p.begin(), p.end(), static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(rng)));
            break;
        case PictureKind::Stripes:
            fillStripes(p, width, height, rng);
            break;
        case PictureKind::CombingMotion:
            fillCombingMotion(p, width, height, rng);
            break;
        case PictureKind::Thresholds:
            fillThresholds(p, width, height, rng);
            break;
        case PictureKind::Extremes:
            fillExtremes(p, width, height, rng);
            break;
    }
    return p;
}

void applyPattern(std::vector<std::uint8_t>& plane, int width, const ThresholdPattern& pattern, int x, int r) {
    for (int i = 0; i < pattern.count; ++i) {
        const SampleShift& s = pattern.shifts[i];
        std::uint8_t& a = plane[r * width + x + s.column];
        std::uint8_t& b = plane[(r + 1) * width + x + s.column];
        a = clampByte(a + s.dr);
        b = clampByte(b + s.dr1);
    }
}

std::uint32_t lineDifference(const std::uint8_t* plane, int width, int x, int a, int b) {
    std::uint32_t sum = 0;
    for (int c = x; c < x + 8; ++c) {
        const int d = plane[a * width + c] - plane[b * width + c];
        sum += static_cast<std::uint32_t>(d * d);
    }
    return sum;
}

GroupSums mainGroupSums(const std::uint8_t* plane, int width, int x, int r) {
    return {lineDifference(plane, width, x, r, r + 1) + lineDifference(plane, width, x, r + 1, r + 2),
            lineDifference(plane, width, x, r, r + 2) + lineDifference(plane, width, x, r + 1, r + 3)};
}

}  // namespace pemblor::video::testing
