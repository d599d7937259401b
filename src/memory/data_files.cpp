#include "memory/data_files.hpp"

#include "common/data_to_write.hpp"
#include "common/input_file.hpp"
#include "common/replacing_file.hpp"

namespace pemblor::memory {

using common::kDataCapacity;

ui::FileRequest dataFileRequest() {
    return {"CMD Files(*.cmd)|*.cmd|All Files(*.*)|*.*||", "CMD", "*.cmd"};
}

SaveOutcome saveDataFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    // The chosen file is replaced only by the complete bytes.
    std::error_code ec;
    common::ReplacingFile file;
    if (std::filesystem::is_directory(path, ec) || !file.open(path)) return SaveOutcome::CannotCreate;
    return file.write(bytes) && file.commit() ? SaveOutcome::Saved : SaveOutcome::WriteFailed;
}

std::optional<std::vector<std::uint8_t>> loadDataFile(const std::filesystem::path& path) {
    // A folder, a FIFO or a device is no data file (a FIFO would block the console).
    common::InputFile file;
    std::string reason;
    if (!file.open(path, reason)) return std::nullopt;
    std::vector<std::uint8_t> bytes(kDataCapacity);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const long long n = file.read(bytes.data() + done, bytes.size() - done);
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

}  // namespace pemblor::memory
