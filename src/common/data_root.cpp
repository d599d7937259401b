#include "common/data_root.hpp"

#include <cerrno>
#include <cstdlib>
#include <system_error>

namespace pemblor::common {

namespace {
std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}
}  // namespace

std::filesystem::path resolveDataRoot(const std::string& option) {
    std::filesystem::path root;
    if (!option.empty()) {
        root = option;
    } else if (const std::string r = env("PEMBLOR_ROOT"); !r.empty()) {
        root = r;
    } else if (const std::string xdg = env("XDG_DATA_HOME"); !xdg.empty()) {
        root = std::filesystem::path(xdg) / "pemblor";
    } else {
        const std::string home = env("HOME");
        root = std::filesystem::path(home.empty() ? "." : home) / ".local" / "share" / "pemblor";
    }
    std::error_code ec;
    std::filesystem::create_directories(root, ec);
    const auto absolute = std::filesystem::absolute(root, ec);
    return ec ? root : absolute;
}

std::string checkRootOption(const std::string& option) {
    const std::filesystem::path root(option);
    std::error_code ec;
    const auto status = std::filesystem::status(root, ec);
    if (std::filesystem::is_directory(status)) return {};
    if (std::filesystem::exists(status)) return std::system_category().message(ENOTDIR);
    std::filesystem::path parent = root.parent_path();
    if (root.filename().empty()) parent = parent.parent_path();  // "a/b/" names b
    if (parent.empty()) parent = ".";
    if (std::filesystem::is_directory(parent, ec)) return {};
    const bool underFile = std::filesystem::exists(parent, ec);
    return std::system_category().message(underFile ? ENOTDIR : ENOENT);
}

std::filesystem::path mapConsolePath(const std::filesystem::path& root, const std::string& consoleName) {
    std::string name = consoleName;
    if (name.size() >= 2 && name[1] == ':') name.erase(0, 2);
    std::filesystem::path out = root;
    std::string part;
    for (char c : name) {
        if (c == '\\' || c == '/') {
            if (!part.empty() && part != "." && part != "..") out /= part;
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty() && part != "." && part != "..") out /= part;
    return out;
}

}  // namespace pemblor::common
