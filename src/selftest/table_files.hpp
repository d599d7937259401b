#pragma once
// The table as a document: JSON for scripts, JUnit XML for a CI server. Both
// carry the same rows; a failure's meaning is the JUnit failure's message.
#include <string>

#include "selftest/check_table.hpp"

namespace pemblor::selftest {

std::string tableJson(const CheckTable& table);
std::string tableJUnit(const CheckTable& table);

}  // namespace pemblor::selftest
