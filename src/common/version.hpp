#pragma once
// Which build this is, for --version and for the reports a support engineer
// asks for: the project version (set once, in the top CMakeLists.txt) and the
// commit it was built from. The self-test's JSON carries the same two, as
// "version" and "commit".
#include <string>
#include <string_view>

namespace pemblor::common {

// "2.8.1".
std::string_view projectVersion();
// The commit's short hash, with "-dirty" when tracked files differed from it;
// "unknown" for a build outside a checkout.
std::string_view buildCommit();
// "pemblorctl 2.8.1 (commit 3d6223b4c1a2)".
std::string versionLine(std::string_view program);

}  // namespace pemblor::common
