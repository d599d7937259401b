#include <gtest/gtest.h>

#include <cstdlib>

#include "common/data_root.hpp"

namespace pemblor::common {
namespace {

TEST(DataRoot, OptionThenEnvironmentThenXdg) {
    const auto base = std::filesystem::temp_directory_path() / "pemblor_root_test";
    std::filesystem::remove_all(base);
    EXPECT_EQ(resolveDataRoot((base / "opt").string()), base / "opt");
    EXPECT_TRUE(std::filesystem::is_directory(base / "opt"));
    ::setenv("PEMBLOR_ROOT", (base / "env").c_str(), 1);
    EXPECT_EQ(resolveDataRoot(""), base / "env");
    ::unsetenv("PEMBLOR_ROOT");
    ::setenv("XDG_DATA_HOME", (base / "xdg").c_str(), 1);
    EXPECT_EQ(resolveDataRoot(""), base / "xdg" / "pemblor");
    ::unsetenv("XDG_DATA_HOME");
    std::filesystem::remove_all(base);
}

TEST(DataRoot, ConsoleNamesMapUnderTheRootAndCannotEscapeIt) {
    const std::filesystem::path root = "/data";
    EXPECT_EQ(mapConsolePath(root, "C:\\EVDATA0000.264"), root / "EVDATA0000.264");
    EXPECT_EQ(mapConsolePath(root, "Pemblor.LOG"), root / "Pemblor.LOG");
    EXPECT_EQ(mapConsolePath(root, "C:\\..\\..\\etc\\passwd"), root / "etc" / "passwd");
}

}  // namespace
}  // namespace pemblor::common
