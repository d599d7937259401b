#include "sim/production/encoded_loops.hpp"

#include <map>
#include <mutex>

#include "sim/production/test_scene.hpp"

namespace pemblor::sim {

namespace {

std::shared_ptr<const EncodedLoop> encode(const LoopKey& key, std::string& error) {
    H264Settings settings;
    settings.width = key.width;
    settings.height = key.height;
    settings.fps = key.fps;
    settings.kbps = key.kbps;
    settings.gop = key.fps;
    settings.preset = "ultrafast";
    auto encoder = H264Encoder::open(settings, error);
    if (!encoder) return nullptr;
    auto loop = std::make_shared<EncodedLoop>();
    loop->units.reserve(static_cast<std::size_t>(key.pictures));
    const PictureFormat format{key.width, key.height, Chroma::Half420};
    std::vector<std::uint8_t> picture(format.size());
    for (int i = 0; i < key.pictures; ++i) {
        const SceneMoment moment{key.channel, static_cast<std::uint32_t>(i), static_cast<double>(i) / key.fps, 0};
        renderScene(moment, format, picture);
        if (!encoder->encode(picture, loop->units)) {
            error = "the encoder failed";
            return nullptr;
        }
    }
    // Without look-ahead the encoder answers each picture at once.
    if (loop->units.size() != static_cast<std::size_t>(key.pictures) || !loop->units.front().idr) {
        error = "the encoder did not give one access unit a picture";
        return nullptr;
    }
    for (const AccessUnit& u : loop->units) loop->bytes += u.bytes.size();
    return loop;
}

constexpr std::size_t kDamagedEvery = 5;
constexpr std::size_t kDamagedBytes = 8;

// Where the last NAL unit of an access unit starts (after its start code):
// the slice, since parameter sets and SEI come before it.
std::size_t lastNalStart(const std::vector<std::uint8_t>& bytes) {
    std::size_t start = 0;
    for (std::size_t i = 0; i + 3 <= bytes.size(); ++i) {
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1) start = i + 3;
    }
    return start;
}

}  // namespace

std::shared_ptr<const EncodedLoop> withDamagedSlices(const EncodedLoop& loop) {
    auto damaged = std::make_shared<EncodedLoop>(loop);
    for (std::size_t i = kDamagedEvery - 2; i < damaged->units.size(); i += kDamagedEvery) {
        std::vector<std::uint8_t>& bytes = damaged->units[i].bytes;
        if (damaged->units[i].idr) continue;
        const std::size_t slice = lastNalStart(bytes);
        // Past the slice header, clear of the end.
        const std::size_t at = slice + (bytes.size() - slice) / 2;
        if (slice == 0 || at + kDamagedBytes >= bytes.size()) continue;
        for (std::size_t k = at; k < at + kDamagedBytes; ++k) bytes[k] = static_cast<std::uint8_t>(~bytes[k]);
    }
    return damaged;
}

std::shared_ptr<const EncodedLoop> encodedLoop(const LoopKey& key, std::string& error) {
    static std::mutex mutex;
    static std::map<LoopKey, std::shared_ptr<const EncodedLoop>> loops;
    // One encode at a time: a second card asking for the same stream waits
    // for it instead of encoding it again.
    std::lock_guard lock(mutex);
    auto& loop = loops[key];
    if (!loop) loop = encode(key, error);
    return loop;
}

}  // namespace pemblor::sim
