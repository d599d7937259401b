#include "sim/production/test_scene.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace pemblor::sim {

namespace {

// 5 x 7 glyphs, one byte a row, the leftmost column in bit 4.
using Glyph = std::array<std::uint8_t, 7>;
constexpr Glyph kDigits[10] = {
    {0x0E, 0x11, 0x13, 0x15, 0x19, 0x11, 0x0E}, {0x04, 0x0C, 0x04, 0x04, 0x04, 0x04, 0x0E},
    {0x0E, 0x11, 0x01, 0x02, 0x04, 0x08, 0x1F}, {0x1F, 0x02, 0x04, 0x02, 0x01, 0x11, 0x0E},
    {0x02, 0x06, 0x0A, 0x12, 0x1F, 0x02, 0x02}, {0x1F, 0x10, 0x1E, 0x01, 0x01, 0x11, 0x0E},
    {0x06, 0x08, 0x10, 0x1E, 0x11, 0x11, 0x0E}, {0x1F, 0x01, 0x02, 0x04, 0x08, 0x08, 0x08},
    {0x0E, 0x11, 0x11, 0x0E, 0x11, 0x11, 0x0E}, {0x0E, 0x11, 0x11, 0x0F, 0x01, 0x02, 0x0C},
};
constexpr Glyph kLetterC = {0x0E, 0x11, 0x10, 0x10, 0x10, 0x11, 0x0E};
constexpr Glyph kLetterH = {0x11, 0x11, 0x11, 0x1F, 0x11, 0x11, 0x11};

// Each channel has its own tint (blue and red difference offsets from 128).
constexpr int kTint[4][2] = {{-30, 20}, {30, -20}, {-20, -30}, {20, 30}};

constexpr std::uint8_t kWhite = 235;
constexpr std::uint8_t kBlack = 16;

struct Text {
    std::array<const Glyph*, 8> glyphs{};
    int length = 0;
};

Text channelText(int channel) {
    Text t;
    t.glyphs[t.length++] = &kLetterC;
    t.glyphs[t.length++] = &kLetterH;
    t.glyphs[t.length++] = &kDigits[(channel + 1) % 10];
    return t;
}

Text counterText(std::uint32_t counter) {
    Text t;
    t.length = 6;
    for (int i = 5; i >= 0; --i) {
        t.glyphs[static_cast<std::size_t>(i)] = &kDigits[counter % 10];
        counter /= 10;
    }
    return t;
}

// Where the box stands at a moment: it sweeps across and back once a second.
int boxLeft(double seconds, int width, int box) {
    const double phase = seconds - std::floor(seconds);
    const double sweep = phase < 0.5 ? phase * 2 : 2 - phase * 2;
    return static_cast<int>(sweep * (width - box));
}

class Painter {
public:
    Painter(const PictureFormat& f, std::span<std::uint8_t> out) : f_(f), out_(out) {}

    void row(int y, const SceneMoment& m, double seconds) {
        std::uint8_t* luma = out_.data() + static_cast<std::size_t>(y) * f_.width;
        const int shift = static_cast<int>(seconds * 90);
        // Grain that changes with every picture, as a camera's does: it is
        // what makes the encoder spend its bit rate.
        std::uint32_t grain = (static_cast<std::uint32_t>(y) * 0x9E3779B1u) ^ (m.counter * 0x85EBCA77u) ^ 0x27D4EB2Fu;
        for (int x = 0; x < f_.width; ++x) {
            grain = grain * 1664525u + 1013904223u;
            const int v = (x * 2 + y + shift) & 0xFF;
            luma[x] = static_cast<std::uint8_t>(40 + (v < 128 ? v : 255 - v) + static_cast<int>(grain >> 28));
        }
        const int box = std::max(8, f_.width / 6);
        const int top = f_.height / 2 - box / 2;
        const bool inBox = y >= top && y < top + box;
        const int left = boxLeft(seconds, f_.width, box);
        if (inBox) std::memset(luma + left, kWhite, static_cast<std::size_t>(box));
        text(y, channelText(m.channel), 0, luma);
        text(y, counterText(m.counter), 1, luma);
        chromaRow(y, m.channel, inBox ? left : -1, box);
    }

private:
    int scale() const { return std::max(1, f_.height / 72); }

    // Line 0 or 1 of text at the top left, white glyphs on a black plate.
    void text(int y, const Text& t, int line, std::uint8_t* luma) const {
        const int s = scale();
        const int top = s * 2 + line * s * 9;
        const int row = (y - top) / s;
        if (y < top - s || row > 7) return;
        const int width = t.length * 6 * s + s;
        std::memset(luma + s, kBlack, static_cast<std::size_t>(std::min(width, f_.width - s)));
        if (y < top || row >= 7) return;
        for (int i = 0; i < t.length; ++i) {
            const std::uint8_t bits = (*t.glyphs[static_cast<std::size_t>(i)])[static_cast<std::size_t>(row)];
            for (int col = 0; col < 5; ++col) {
                if (!(bits & (0x10 >> col))) continue;
                const int x = s * 2 + (i * 6 + col) * s;
                if (x + s <= f_.width) std::memset(luma + x, kWhite, static_cast<std::size_t>(s));
            }
        }
    }

    // The tint everywhere, neutral inside the box.
    void chromaRow(int y, int channel, int boxLeftAt, int box) {
        if (f_.chroma == Chroma::Half420 && y % 2) return;
        const int cw = f_.width / 2;
        const std::size_t cy = static_cast<std::size_t>(f_.chroma == Chroma::Half420 ? y / 2 : y);
        for (int plane = 0; plane < 2; ++plane) {
            std::uint8_t* c = out_.data() + f_.lumaSize() + plane * f_.chromaSize() + cy * static_cast<std::size_t>(cw);
            std::memset(c, 128 + kTint[channel & 3][plane], static_cast<std::size_t>(cw));
            if (boxLeftAt >= 0) std::memset(c + boxLeftAt / 2, 128, static_cast<std::size_t>(box / 2));
        }
    }

    const PictureFormat& f_;
    std::span<std::uint8_t> out_;
};

}  // namespace

void renderScene(const SceneMoment& moment, const PictureFormat& format, std::span<std::uint8_t> out) {
    if (format.width < 16 || format.height < 16 || format.width % 2 || format.height % 2 ||
        out.size() < format.size())
        return;
    Painter painter(format, out);
    for (int y = 0; y < format.height; ++y) {
        const bool secondField = moment.fieldGap > 0 && y % 2 == 1;
        painter.row(y, moment, moment.seconds + (secondField ? moment.fieldGap : 0));
    }
}

}  // namespace pemblor::sim
