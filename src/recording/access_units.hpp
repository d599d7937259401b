#pragma once
// Splits an H.264 byte stream (Annex B) into access units with libavcodec's
// parser, and tells which hold an IDR picture and which carry the stream's
// parameter sets. Bytes go in as pieces of any size; each access unit comes
// out whole, once the parser has seen where it ends.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

struct AVCodecParserContext;
struct AVCodecContext;

namespace pemblor::recording {

struct AccessUnit {
    std::span<const std::uint8_t> bytes;
    bool idr = false;        // holds a slice of an IDR picture (NAL type 5)
    bool picture = false;    // holds a slice at all (NAL type 1 or 5)
    int width = 0;           // as the parser read them from the sequence parameters
    int height = 0;
};

// The NAL unit types in an Annex B buffer, in order.
std::vector<int> nalTypes(std::span<const std::uint8_t> annexB);
// The sequence and picture parameter sets (NAL types 7 and 8) of an access
// unit, each with its start code, in order: what a container keeps as the
// stream's extra data.
std::vector<std::uint8_t> parameterSets(std::span<const std::uint8_t> annexB);

class AccessUnitSplitter {
public:
    using Sink = std::function<void(const AccessUnit&)>;

    explicit AccessUnitSplitter(Sink sink);
    ~AccessUnitSplitter();
    AccessUnitSplitter(const AccessUnitSplitter&) = delete;
    AccessUnitSplitter& operator=(const AccessUnitSplitter&) = delete;

    // False when libavcodec has no H.264 parser.
    bool ready() const { return parser_ != nullptr; }
    void push(std::span<const std::uint8_t> bytes);
    // The end of the stream: the last access unit comes out.
    void finish();

private:
    void parse(const std::uint8_t* data, int size);

    Sink sink_;
    AVCodecParserContext* parser_ = nullptr;
    AVCodecContext* context_ = nullptr;
    // The parser reads past the end of what it is given: pieces are copied
    // here, followed by zeroed padding, before it sees them.
    std::vector<std::uint8_t> padded_;
};

}  // namespace pemblor::recording
