#include <gtest/gtest.h>

#include <fstream>

#include "common/shared_files.hpp"
#include "support/temp_dir.hpp"

namespace pemblor::common {
namespace {

// An installed tree comes first, found from the program's folder; the build
// and source trees stand in for it; a name that is no regular file anywhere
// is not found.
TEST(SharedFiles, InstalledTreeFirstThenTheBuildTree) {
    pemblor::testing::TempDir prefix;
    std::filesystem::create_directories(prefix / "share/pemblor/sample.IMG");  // a folder: not taken
    std::ofstream(prefix / "share/pemblor/run-cards.ini") << "[card 1]\n";
    const std::filesystem::path program = prefix / "bin/pemblor";

    EXPECT_EQ(findSharedFile("run-cards.ini", program), prefix / "share/pemblor/run-cards.ini");
    EXPECT_EQ(findSharedFile("sample.IMG", program), PEMBLOR_SAMPLE_IMAGE);
    EXPECT_EQ(findSharedFile("demo.txt", program), std::filesystem::path(PEMBLOR_SOURCE_DIR) / "scripts/demo.txt");
    EXPECT_EQ(findSharedFile("run-cards.ini"), std::filesystem::path(PEMBLOR_SOURCE_DIR) / "scripts/run-cards.ini");
    EXPECT_FALSE(findSharedFile("missing.ini", program));
    EXPECT_FALSE(findSharedFile("", program));
}

}  // namespace
}  // namespace pemblor::common
