// Replays the fuzz corpus in the ordinary test run, so that every file that
// once broke the reader stays covered with any compiler and sanitizer.
#include <gtest/gtest.h>

#include <filesystem>

#include "../../fuzz/read_image_check.hpp"
#include "coff_files.hpp"

namespace pemblor::program {
namespace {

TEST(FuzzCorpus, ReadImageKeepsItsPromisesOnEveryFile) {
    const std::filesystem::path dir = std::filesystem::path(PEMBLOR_SOURCE_DIR) / "fuzz" / "corpus" / "read_image";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const testing::Bytes bytes = testing::readFile(entry.path());
        ReadResult result{};
        EXPECT_TRUE(readImageKeepsItsPromises(bytes, &result)) << entry.path();
        // The hand-made seeds are sound files of each layout.
        if (entry.path().filename().string().starts_with("layout")) {
            EXPECT_EQ(result, ReadResult::kOk) << entry.path();
        }
        ++files;
    }
    EXPECT_GE(files, 4);
}

}  // namespace
}  // namespace pemblor::program
