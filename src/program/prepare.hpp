#pragma once
// The step that "8 LoadP" runs on the file the operator picked: a COFF
// executable (extension OUT) is converted into an image beside it and nothing
// is loaded; any other file is read as an image and its block list returned.
#include <filesystem>
#include <optional>
#include <string>

#include "program/image_file.hpp"
#include "ui/host.hpp"

namespace pemblor::program {

// The text after the last dot of the file name, upper case; empty when none.
std::string upperExtension(const std::filesystem::path& path);

// The image path of a COFF executable: the path with its last three
// characters replaced by "IMG"; nothing unless the extension reads "OUT".
std::optional<std::filesystem::path> imagePathFor(const std::filesystem::path& coffPath);

// Converts a COFF executable into the image beside it and returns that
// image's path; failures are shown by convert and give nothing.
std::optional<std::filesystem::path> convertBeside(ui::Host& host, ui::Dialog* owner,
                                                   const std::filesystem::path& coffPath);

// Prepares a load. Every outcome but a readable image ends in a message box
// and gives nothing; so does a conversion, which announces the new image.
std::optional<LoadImage> prepare(ui::Host& host, ui::Dialog* owner, const std::filesystem::path& chosen);

}  // namespace pemblor::program
