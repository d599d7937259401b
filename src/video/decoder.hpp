#pragma once
// What decodes the played stream: a decoder takes the stream's bytes as they
// arrive and hands every decoded picture to a handler, on a thread of its own.
//
//   DecoderFactory::open(option, handle)   a new decoder in handle
//   Decoder::start()                       accepts data and calls the handler
//   Decoder::write(bytes, flush)           at most kMaxDecoderWrite bytes, consumed
//                                          during the call
//   Decoder::stop()                        no handler call after it returns
//   Decoder::finish()                      the stream ends: everything written is
//                                          decoded first, then as stop()
//   destroying the handle                  closes the decoder
//
// Every call returns 0 or more on success and a negative number on failure.
// write() never waits for decoding: when the decoder is behind and its input
// queue is full, the write fails and its bytes are lost, so the thread that
// receives the stream is never held up.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

namespace pemblor::video {

inline constexpr std::size_t kMaxDecoderWrite = 8192;

// The handler's fourth argument.
enum PictureKind : std::uint32_t {
    kDecodedPicture = 1,  // picture holds one decoded picture
    kSizeNotice = 2,      // the pictures that follow have the new size; picture is null
};

// Called on the decoder's thread with, in this order: the picture's number
// since start, the picture, zero when the picture is not fit to be shown,
// the kind, the width, the height and the picture's coding type (1 I, 2 P,
// 3 B, 0 unknown). A picture is planar 4:2:0 in the order render ports take
// it: luma (width x height), then the red-difference and the blue-difference
// plane (width/2 x height/2 each), every line stride its plane's width. It is
// valid during the call only. The result is not used.
using PictureHandler =
    std::function<int(std::uint32_t number, const std::uint8_t* picture, std::uint32_t show, std::uint32_t kind,
                      std::uint32_t width, std::uint32_t height, std::uint32_t codingType)>;

struct DecodeOption {
    std::uint32_t format = 1;  // 1: an H.264 byte stream (start codes, access units cut anywhere)
    PictureHandler handler;
    std::uint32_t queueDepth = 16;  // writes the input queue holds (1 to 1024)
    std::uint32_t threads = 1;      // decoding threads (1 to 16)
    std::uint32_t reserved = 0;     // not read
    bool lowDelay = true;           // a picture leaves as soon as it is decoded
};

inline constexpr std::uint32_t kH264ByteStream = 1;

class Decoder {
public:
    virtual ~Decoder() = default;

    virtual int start() = 0;
    // flush: the stream ends here; what the decoder holds back is decoded now.
    virtual int write(std::span<const std::uint8_t> bytes, bool flush) = 0;
    virtual int stop() = 0;
    // For a stream that is read, not received: waits until every write has
    // been decoded and handed to the handler, then stops. A decoder that
    // can't tell returns -1 (and keeps running).
    virtual int finish() { return -1; }
};

class DecoderFactory {
public:
    virtual ~DecoderFactory() = default;

    // handle is reset first and holds the decoder on success.
    virtual int open(const DecodeOption& option, std::unique_ptr<Decoder>& handle) = 0;
};

// H.264 on FFmpeg's libavcodec, with its parser, on one thread of its own.
class FfmpegDecoders final : public DecoderFactory {
public:
    int open(const DecodeOption& option, std::unique_ptr<Decoder>& handle) override;
};

}  // namespace pemblor::video
