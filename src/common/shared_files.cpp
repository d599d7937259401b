#include "common/shared_files.hpp"

#include <system_error>

#include "build_info.hpp"

namespace pemblor::common {

std::optional<std::filesystem::path> findSharedFile(std::string_view name) {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return findSharedFile(name, ec ? std::filesystem::path() : self);
}

std::optional<std::filesystem::path> findSharedFile(std::string_view name, const std::filesystem::path& programPath) {
    std::filesystem::path candidates[1 + std::size(build::kBuildTreeData)];
    // The program's path is its real one (/proc/self/exe), so ".." may be taken lexically.
    if (!programPath.empty()) candidates[0] = (programPath.parent_path() / build::kDataFromPrograms / name).lexically_normal();
    for (std::size_t i = 0; i < std::size(build::kBuildTreeData); ++i)
        candidates[i + 1] = std::filesystem::path(build::kBuildTreeData[i]) / name;
    for (const std::filesystem::path& p : candidates) {
        std::error_code ec;
        if (!p.empty() && std::filesystem::is_regular_file(p, ec)) return p;
    }
    return std::nullopt;
}

}  // namespace pemblor::common
