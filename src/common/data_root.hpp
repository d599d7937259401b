#pragma once
#include <filesystem>
#include <string>

namespace pemblor::common {

// The folder that stands for drive C:: the given option, else $PEMBLOR_ROOT,
// else $XDG_DATA_HOME/pemblor, else ~/.local/share/pemblor. Created on demand;
// an uncreatable folder is returned as it is (opening files there then fails
// and says so).
std::filesystem::path resolveDataRoot(const std::string& option);

// Why a --root option can't be the data root ("Not a directory", "No such
// file or directory"), empty when it can: an existing folder, or a missing
// one whose parent folder exists (that one is created; never a deeper path,
// never under a file).
std::string checkRootOption(const std::string& option);

// A console file name such as "C:\EVDATA0000.264" or "EVDATA0000.264" placed
// under the root: the drive and any backslash folders map onto the root.
std::filesystem::path mapConsolePath(const std::filesystem::path& root, const std::string& consoleName);

}  // namespace pemblor::common
