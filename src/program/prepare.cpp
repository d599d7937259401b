#include "program/prepare.hpp"

#include <cctype>
#include <string>

#include "resources/string_table.hpp"

namespace pemblor::program {

std::string upperExtension(const std::filesystem::path& path) {
    const std::string name = path.filename().string();
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return {};
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}

std::optional<std::filesystem::path> imagePathFor(const std::filesystem::path& coffPath) {
    if (upperExtension(coffPath) != "OUT") return std::nullopt;
    std::string text = coffPath.string();
    text.replace(text.size() - 3, 3, "IMG");
    return std::filesystem::path(text);
}

std::optional<std::filesystem::path> convertBeside(ui::Host& host, ui::Dialog* owner,
                                                   const std::filesystem::path& coffPath) {
    std::optional<std::filesystem::path> image = imagePathFor(coffPath);
    if (!image || !convert(host, owner, coffPath, *image)) return std::nullopt;
    return image;
}

std::optional<LoadImage> prepare(ui::Host& host, ui::Dialog* owner, const std::filesystem::path& chosen) {
    using namespace resources;
    auto show = [&](std::string_view text) { host.messageBox(owner, text); };
    const std::string shown = chosen.string();

    if (upperExtension(chosen) == "OUT") {
        if (auto image = convertBeside(host, owner, chosen))
            show(std::string(loadString(kStrImageCreated)) + image->string());
        return std::nullopt;
    }
    const std::optional<std::uint64_t> length = readableFileLength(chosen);
    if (!length) {
        show(shown + std::string(loadString(kStrOpenFileFailed)));
        return std::nullopt;
    }
    if (*length == 0) {
        show(shown + std::string(loadString(kStrFileTooSmall)));
        return std::nullopt;
    }
    std::optional<LoadImage> image = LoadImage::allocate(*length);
    if (!image) {
        show(loadString(kStrBufferAllocFailed));
        return std::nullopt;
    }
    if (image->read(chosen) != ReadResult::kOk) {
        show(loadString(kStrParsingFailed));
        return std::nullopt;
    }
    return image;
}

}  // namespace pemblor::program
