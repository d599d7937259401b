#pragma once
// Where reception hands data beyond its files: the player window takes the
// payloads of the played stream slot, the preview window takes picture
// notices. Both are called on the receive thread.
#include <cstdint>
#include <span>

namespace pemblor::capture {

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

}  // namespace pemblor::capture
