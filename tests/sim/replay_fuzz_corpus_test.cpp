// The replay reader's fuzz corpus in the ordinary test run: every file keeps
// the reader's promises; the seeds named .rpl are read, but for bad_*.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "../../fuzz/replay_reader_check.hpp"
#include "support/temp_dir.hpp"

namespace pemblor::sim {
namespace {

TEST(FuzzCorpus, ReplayReaderKeepsItsPromisesOnEveryFile) {
    pemblor::testing::TempDir folder;  // as the fuzz target's: a 4096-byte data.bin
    std::ofstream(folder / "data.bin", std::ios::binary) << std::string(4096, '\x5A');
    const std::filesystem::path dir = std::filesystem::path(PEMBLOR_SOURCE_DIR) / "fuzz" / "corpus" / "replay_reader";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text{std::istreambuf_iterator<char>(in), {}};
        EXPECT_TRUE(readReplayKeepsItsPromises(text, folder.path())) << entry.path();
        if (entry.path().extension() == ".rpl") {
            ReplayScript script;
            std::string error;
            const bool bad = entry.path().filename().string().starts_with("bad_");
            EXPECT_EQ(readReplayText(text, "seed", folder.path(), script, error), !bad) << entry.path() << error;
        }
        ++files;
    }
    EXPECT_GE(files, 4);
}

}  // namespace
}  // namespace pemblor::sim
