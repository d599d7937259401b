#include "video/deinterlace_stream.hpp"

#include <cerrno>
#include <fstream>
#include <istream>
#include <ostream>
#include <span>
#include <system_error>
#include <vector>

#include "common/input_file.hpp"
#include "common/replacing_file.hpp"
#include "video/chroma_422_to_420.hpp"
#include "video/deinterlace.hpp"

namespace pemblor::video {

std::optional<PlaneLayout> parsePlaneLayout(std::string_view name) {
    if (name == "luma") return PlaneLayout::Luma;
    if (name == "422") return PlaneLayout::Planar422;
    return std::nullopt;
}

std::string_view planeLayoutName(PlaneLayout layout) {
    return layout == PlaneLayout::Luma ? "luma" : "422";
}

std::string checkDeinterlaceStreamOptions(const DeinterlaceStreamOptions& options) {
    if (options.width < kDeinterlaceBlock || options.width % kDeinterlaceBlock != 0 ||
        options.width > kMaxStreamPictureSide) {
        return "width must be a multiple of 8 from 8 to " + std::to_string(kMaxStreamPictureSide);
    }
    if (options.height < 2 * kDeinterlaceBlock || options.height % kDeinterlaceBlock != 0 ||
        options.height > kMaxStreamPictureSide) {
        return "height must be a multiple of 8 from 16 to " + std::to_string(kMaxStreamPictureSide);
    }
    if (options.to420 && options.layout != PlaneLayout::Planar422) return "--to420 needs 4:2:2 pictures (--planes 422)";
    if (options.level && !simdLevelAvailable(*options.level)) {
        return "this processor cannot run the " + std::string(simdLevelName(*options.level)) + " code";
    }
    return {};
}

namespace {

// Reads up to bytes.size() bytes; returns how many arrived.
std::size_t readFully(std::istream& in, std::span<std::uint8_t> bytes) {
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<std::size_t>(in.gcount());
}

}  // namespace

DeinterlaceStreamResult deinterlaceStream(std::istream& in, std::ostream& out,
                                          const DeinterlaceStreamOptions& options) {
    DeinterlaceStreamResult result;
    result.error = checkDeinterlaceStreamOptions(options);
    if (!result.error.empty()) return result;

    const int w = options.width;
    const int h = options.height;
    const std::size_t lumaBytes = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    const bool planar422 = options.layout == PlaneLayout::Planar422;
    const std::size_t inBytes = planar422 ? planar422Bytes(w, h) : lumaBytes;
    const std::size_t outBytes = options.to420 ? planar420Bytes(w, h) : inBytes;
    const SimdLevel level = options.level.value_or(bestSimdLevel());
    std::vector<std::uint8_t> picture(inBytes);

    for (;;) {
        const std::size_t got = readFully(in, picture);
        if (got == 0) break;
        if (got < inBytes) {
            result.error = "input ends inside picture " + std::to_string(result.pictures + 1) + " (" +
                           std::to_string(got) + " of " + std::to_string(inBytes) + " bytes)";
            return result;
        }
        // The geometry was checked above, so neither step can refuse.
        deinterlace(picture, w, h, level);
        if (options.to420) convert422To420(picture, w, h);
        out.write(reinterpret_cast<const char*>(picture.data()), static_cast<std::streamsize>(outBytes));
        if (!out) {
            result.error = "write failed at picture " + std::to_string(result.pictures + 1);
            return result;
        }
        ++result.pictures;
    }
    if (in.bad()) {
        result.error = "read failed after picture " + std::to_string(result.pictures);
        return result;
    }
    result.ok = true;
    return result;
}

DeinterlaceStreamResult deinterlaceFile(const std::filesystem::path& in, const std::filesystem::path& out,
                                        const DeinterlaceStreamOptions& options) {
    DeinterlaceStreamResult result;
    result.error = checkDeinterlaceStreamOptions(options);
    if (!result.error.empty()) return result;
    // A pipe is a fine input; a folder opens as a stream that reads nothing.
    std::error_code ec;
    if (std::filesystem::is_directory(in, ec)) {
        result.error = in.string() + ": is a folder, not a file";
        return result;
    }
    std::ifstream input(in, std::ios::binary);
    if (!input) {
        result.error = in.string() + ": " + common::systemReason(errno);
        return result;
    }
    if (common::sameFile(in, out)) {
        result.error = "input and output are the same file";
        return result;
    }
    // OUT is replaced only by a complete result: a failure leaves it as it was.
    common::ReplacingFile file;
    if (!file.open(out)) {
        result.error = file.errorText();
        return result;
    }
    std::ofstream output(file.temporaryPath(), std::ios::binary | std::ios::trunc);
    result = deinterlaceStream(input, output, options);
    output.close();
    if (result.ok && !output) {
        result.ok = false;
        result.error = out.string() + ": " + common::systemReason(errno ? errno : EIO);
    }
    if (result.ok && !file.commit()) {
        result.ok = false;
        result.error = file.errorText();
    }
    return result;
}

}  // namespace pemblor::video
