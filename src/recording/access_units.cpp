#include "recording/access_units.hpp"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace pemblor::recording {

namespace {

constexpr int kNalIdr = 5;
constexpr int kNalSlice = 1;
constexpr int kNalSps = 7;
constexpr int kNalPps = 8;

// Calls fn(start of the start code, start of the NAL header, end) for each NAL unit.
template <typename Fn>
void forEachNal(std::span<const std::uint8_t> b, Fn&& fn) {
    const std::size_t n = b.size();
    std::size_t i = 0, codeAt = 0, nalAt = 0;
    bool inNal = false;
    while (i + 3 <= n) {
        if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1) {
            const std::size_t code = (i > 0 && b[i - 1] == 0) ? i - 1 : i;
            if (inNal) fn(codeAt, nalAt, code);
            codeAt = code;
            nalAt = i + 3;
            inNal = true;
            i += 3;
        } else {
            ++i;
        }
    }
    if (inNal) fn(codeAt, nalAt, n);
}

}  // namespace

std::vector<int> nalTypes(std::span<const std::uint8_t> annexB) {
    std::vector<int> types;
    forEachNal(annexB, [&](std::size_t, std::size_t nal, std::size_t end) {
        if (nal < end) types.push_back(annexB[nal] & 0x1F);
    });
    return types;
}

std::vector<std::uint8_t> parameterSets(std::span<const std::uint8_t> annexB) {
    std::vector<std::uint8_t> sets;
    forEachNal(annexB, [&](std::size_t code, std::size_t nal, std::size_t end) {
        if (nal >= end) return;
        const int type = annexB[nal] & 0x1F;
        if (type != kNalSps && type != kNalPps) return;
        // Always a four-byte start code, as containers expect in Annex B extra data.
        if (nal - code == 3) sets.push_back(0);
        sets.insert(sets.end(), annexB.begin() + static_cast<std::ptrdiff_t>(code),
                    annexB.begin() + static_cast<std::ptrdiff_t>(end));
    });
    return sets;
}

AccessUnitSplitter::AccessUnitSplitter(Sink sink) : sink_(std::move(sink)) {
    parser_ = av_parser_init(AV_CODEC_ID_H264);
    context_ = avcodec_alloc_context3(nullptr);
    if (!context_ && parser_) {
        av_parser_close(parser_);
        parser_ = nullptr;
    }
}

AccessUnitSplitter::~AccessUnitSplitter() {
    if (parser_) av_parser_close(parser_);
    avcodec_free_context(&context_);
}

void AccessUnitSplitter::push(std::span<const std::uint8_t> bytes) {
    constexpr std::size_t kPiece = 64 * 1024;
    while (!bytes.empty()) {
        const std::size_t size = std::min(bytes.size(), kPiece);
        padded_.assign(size + AV_INPUT_BUFFER_PADDING_SIZE, 0);
        std::copy_n(bytes.begin(), size, padded_.begin());
        parse(padded_.data(), static_cast<int>(size));
        bytes = bytes.subspan(size);
    }
}

void AccessUnitSplitter::finish() { parse(nullptr, 0); }

void AccessUnitSplitter::parse(const std::uint8_t* data, int size) {
    if (!parser_) return;
    const bool flushing = size == 0;
    do {
        std::uint8_t* out = nullptr;
        int outSize = 0;
        const int used = av_parser_parse2(parser_, context_, &out, &outSize, data, size, AV_NOPTS_VALUE,
                                          AV_NOPTS_VALUE, 0);
        if (used < 0) return;
        data += used;
        size -= used;
        if (outSize > 0) {
            AccessUnit unit{{out, static_cast<std::size_t>(outSize)}, false, false, parser_->width, parser_->height};
            for (int type : nalTypes(unit.bytes)) {
                unit.idr = unit.idr || type == kNalIdr;
                unit.picture = unit.picture || type == kNalIdr || type == kNalSlice;
            }
            sink_(unit);
        } else if (flushing) {
            return;
        }
    } while (size > 0 || flushing);
}

}  // namespace pemblor::recording
