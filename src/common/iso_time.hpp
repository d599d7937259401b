#pragma once
// Times that scripts and servers read: ISO 8601 in local time with the offset
// then in force, in its extended form ("2026-12-08T10:30:00+01:00").
#include <ctime>
#include <string>

namespace pemblor::common {

std::string isoLocalTime(std::time_t t);

}  // namespace pemblor::common
