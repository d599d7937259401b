#pragma once
// Data-to-write files: the bytes themselves, nothing else (no header, no
// text), at most 512 of them.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

#include "ui/host.hpp"

namespace pemblor::memory {

// What the open and save dialogs of "Load" and "Save" offer.
ui::FileRequest dataFileRequest();

enum class SaveOutcome { Saved, CannotCreate, WriteFailed };

// Writes the bytes to a new file that then replaces the named one; on a
// failure the named file stays as it was.
SaveOutcome saveDataFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);
// The first 512 bytes of the file (fewer when it is shorter); nothing when it
// cannot be opened or is not a regular file.
std::optional<std::vector<std::uint8_t>> loadDataFile(const std::filesystem::path& path);

}  // namespace pemblor::memory
