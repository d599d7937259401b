// The replacing writer: a target is replaced only by a committed file; a
// failure, an abandoned writer or a stop signal leave it as it was, a link
// stays a link, and permissions carry over.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <iterator>

#include "common/replacing_file.hpp"
#include "support/temp_dir.hpp"

namespace pemblor::common {
namespace {

std::string slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void put(const std::filesystem::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

std::size_t entries(const std::filesystem::path& dir) {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(dir), {}));
}

TEST(ReplacingFile, OnlyACommitReplacesTheTarget) {
    testing::TempDir dir;
    const auto target = dir / "out.bin";
    put(target, "old");
    ::chmod(target.c_str(), 0640);
    {
        ReplacingFile f;
        ASSERT_TRUE(f.open(target));
        ASSERT_TRUE(f.write(std::string_view("new data")));
        EXPECT_EQ(slurp(target), "old");  // nothing reaches the target before the commit
    }  // abandoned
    EXPECT_EQ(slurp(target), "old");
    EXPECT_EQ(entries(dir.path()), 1u);

    ReplacingFile f;
    ASSERT_TRUE(f.open(target));
    ASSERT_TRUE(f.write(std::string_view("new data")));
    ASSERT_TRUE(f.commit());
    EXPECT_EQ(slurp(target), "new data");
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(entries(dir.path()), 1u);
}

TEST(ReplacingFile, ALinkStaysALinkAndAMissingFolderSaysWhy) {
    testing::TempDir dir;
    put(dir / "real.bin", "old");
    std::filesystem::create_symlink(dir / "real.bin", dir / "link.bin");
    ReplacingFile f;
    ASSERT_TRUE(f.open(dir / "link.bin"));
    ASSERT_TRUE(f.write(std::string_view("new")));
    ASSERT_TRUE(f.commit());
    EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.bin"));
    EXPECT_EQ(slurp(dir / "real.bin"), "new");

    ReplacingFile g;
    EXPECT_FALSE(g.open(dir / "no" / "such" / "out.bin"));
    EXPECT_EQ(g.error(), ENOENT);
    EXPECT_NE(g.errorText().find("No such file or directory"), std::string::npos);
}

TEST(ReplacingFile, AStopSignalRemovesTheTemporaryFile) {
    testing::TempDir dir;
    put(dir / "out.bin", "old");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        removeTemporaryFilesOnStopSignals();
        ReplacingFile f;
        if (!f.open(dir / "out.bin") || !f.write(std::string_view("partial"))) ::_exit(3);
        ::raise(SIGTERM);
        ::_exit(4);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
    EXPECT_EQ(slurp(dir / "out.bin"), "old");
    EXPECT_EQ(entries(dir.path()), 1u);
}

}  // namespace
}  // namespace pemblor::common
