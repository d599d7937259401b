#pragma once
// printf-style formatting of the console's own line templates (never of
// card-supplied text; see safe_format.hpp for that).
#include <string>

namespace pemblor::common {

std::string printfLine(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace pemblor::common
