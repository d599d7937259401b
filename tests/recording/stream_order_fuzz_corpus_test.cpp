// The stream-order fuzz target's corpus in the ordinary test run, with any
// compiler and sanitizer: every file that once found a fault stays covered,
// and the seeds (one stream of each coding shape) are read as they should be.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "../../fuzz/stream_order_check.hpp"

namespace pemblor::recording {
namespace {

TEST(FuzzCorpus, StreamOrderKeepsItsPromisesOnEveryFile) {
    const std::filesystem::path dir = std::filesystem::path(PEMBLOR_SOURCE_DIR) / "fuzz" / "corpus" / "stream_order";
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        StreamFacts facts;
        EXPECT_TRUE(streamOrderKeepsItsPromises(bytes, &facts)) << entry.path();
        if (entry.path().extension() == ".264") {  // the seeds: whole, readable streams
            EXPECT_EQ(facts.damaged, 0u) << entry.path();
            EXPECT_GT(facts.pictures, 3u) << entry.path();
        }
        ++files;
    }
    EXPECT_GE(files, 8);
}

}  // namespace
}  // namespace pemblor::recording
