#pragma once
// The files the programs ship with (the sample DSP program, the example card
// settings, the demo script). An installed program finds them in
// <prefix>/share/pemblor, reached from its own path, so the installed tree
// works wherever its prefix is; a program run from the build tree finds them
// in the build and source trees instead.
#include <filesystem>
#include <optional>
#include <string_view>

namespace pemblor::common {

// The shared file of that name for the running program, if it is a regular file.
std::optional<std::filesystem::path> findSharedFile(std::string_view name);
// The same for the program at programPath.
std::optional<std::filesystem::path> findSharedFile(std::string_view name, const std::filesystem::path& programPath);

}  // namespace pemblor::common
