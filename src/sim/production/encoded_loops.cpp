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

}  // namespace

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
