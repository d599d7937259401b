#pragma once
// The moving test scene the simulated card captures: diagonal bands that
// scroll, a bright box that sweeps across, the channel number ("CH1") and a
// running picture counter. Planar 8-bit pictures, luma then the two chroma
// planes (blue, then red difference), 4:2:0 for the encoder and 4:2:2 for
// the pictures the card hands out. Interlaced pictures take their two fields
// at two moments, so anything that moves is combed between them.
#include <cstddef>
#include <cstdint>
#include <span>

namespace pemblor::sim {

enum class Chroma { Half420, Half422 };

struct PictureFormat {
    int width = 352;
    int height = 288;
    Chroma chroma = Chroma::Half420;

    std::size_t lumaSize() const { return static_cast<std::size_t>(width) * static_cast<std::size_t>(height); }
    std::size_t chromaSize() const { return chroma == Chroma::Half420 ? lumaSize() / 4 : lumaSize() / 2; }
    std::size_t size() const { return lumaSize() + 2 * chromaSize(); }
};

struct SceneMoment {
    int channel = 0;          // 0..3, shown as CH1..CH4
    std::uint32_t counter = 0;  // the number shown
    double seconds = 0;       // where the motion stands
    double fieldGap = 0;      // > 0: interlaced, the second field this much later
};

// Draws the scene into out (at least format.size() bytes; nothing beyond it is written).
void renderScene(const SceneMoment& moment, const PictureFormat& format, std::span<std::uint8_t> out);

}  // namespace pemblor::sim
