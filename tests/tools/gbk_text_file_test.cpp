#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "tools/gbk_text_file.hpp"

namespace pemblor::tools {
namespace {

TEST(Gbk, ConvertsChineseAndKeepsAscii) {
    // "中文" in GBK is D6 D0 CE C4.
    EXPECT_EQ(utf8ToGbk("A中文z"), std::string("A\xD6\xD0\xCE\xC4z"));
    EXPECT_EQ(gbkToUtf8("A\xD6\xD0\xCE\xC4z"), "A中文z");
}

TEST(Gbk, UnrepresentableAndBrokenInputBecomesQuestionMarks) {
    EXPECT_EQ(utf8ToGbk("a\xF0\x9F\x98\x80" "b"), "a?b");  // an emoji has no GBK code
    EXPECT_EQ(utf8ToGbk("a\xC3"), "a?");                  // cut sequence
    EXPECT_EQ(utf8ToGbk("\xFF" "x"), "?x");
}

TEST(Gbk, FileLinesEndInCrLfAndAppend) {
    const auto path = std::filesystem::temp_directory_path() / "pemblor_gbk_test.log";
    {
        GbkTextFile f;
        ASSERT_TRUE(f.open(path, GbkTextFile::Mode::Truncate));
        EXPECT_TRUE(f.writeLine("设备"));
        EXPECT_TRUE(f.close());
    }
    {
        GbkTextFile f;
        ASSERT_TRUE(f.open(path, GbkTextFile::Mode::Append));
        EXPECT_TRUE(f.writeLine("ok"));
    }
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(bytes, utf8ToGbk("设备") + "\r\nok\r\n");
    std::filesystem::remove(path);
    GbkTextFile missing;
    EXPECT_FALSE(missing.open("/nonexistent-dir/x.log", GbkTextFile::Mode::Append));
    EXPECT_FALSE(missing.writeLine("x"));
}

}  // namespace
}  // namespace pemblor::tools
