#pragma once
// Where reception hands data beyond its files: the player window takes the
// payloads of the played stream slot, the preview window takes picture
// notices. Both are called on the receive thread.
#include <cstdint>
#include <span>

namespace pemblor::common {

class StreamFeed {
public:
    // The payload of one stream block of the play slot (without its 8-byte
    // header), straight from the encoded-stream area; read during the call only.
    virtual void feedStream(std::span<const std::uint8_t> payload) = 0;

protected:
    ~StreamFeed() = default;
};

class PreviewSink {
public:
    // A preview notice for channel 0..3 with its picture code (240, 241, 242,
    // 247). picture runs from the picture's first byte to the end of the area
    // it lies in, so the window can check that the picture fits; it may be
    // changed in place during the call.
    virtual void showPreviewFrame(std::uint32_t channel, std::span<std::uint8_t> picture,
                                  std::uint32_t code) = 0;

protected:
    ~PreviewSink() = default;
};

// Where the video windows publish themselves for reception while they are
// open. User-interface thread only; a retract returns once reception no
// longer uses the window, so it may be destroyed right after.
class StreamConsumers {
public:
    // The player takes the payloads of stream slot playSlot (0..7).
    virtual void publishPlayer(StreamFeed& player, std::uint32_t playSlot) = 0;
    virtual void retractPlayer() = 0;
    virtual void publishPreview(PreviewSink& preview) = 0;
    virtual void retractPreview() = 0;

protected:
    ~StreamConsumers() = default;
};

}  // namespace pemblor::common
