#include "memory/data_files.hpp"

#include <fstream>

#include "common/data_to_write.hpp"

namespace pemblor::memory {

using common::kDataCapacity;

ui::FileRequest dataFileRequest() {
    return {"CMD Files(*.cmd)|*.cmd|All Files(*.*)|*.*||", "CMD", "*.cmd"};
}

SaveOutcome saveDataFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) return SaveOutcome::CannotCreate;
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    return file ? SaveOutcome::Saved : SaveOutcome::WriteFailed;
}

std::optional<std::vector<std::uint8_t>> loadDataFile(const std::filesystem::path& path) {
    // A folder opens as a stream on some systems; it is no data file.
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::vector<std::uint8_t> bytes(kDataCapacity);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return bytes;
}

}  // namespace pemblor::memory
