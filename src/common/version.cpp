#include "common/version.hpp"

#include "build_info.hpp"

namespace pemblor::common {

std::string_view projectVersion() { return build::kVersion; }

std::string_view buildCommit() { return build::kCommit; }

std::string versionLine(std::string_view program) {
    std::string line(program);
    line.append(" ").append(projectVersion()).append(" (commit ").append(buildCommit()).append(")");
    return line;
}

}  // namespace pemblor::common
