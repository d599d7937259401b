#include <gtest/gtest.h>

#include "headless/script_line.hpp"

namespace pemblor::headless {
namespace {

TEST(ScriptLine, WordsQuotesEscapesAndComments) {
    std::string error;
    const auto w = splitScriptLine("settext 1013 \"a\\tb\\r\\n\\\\ \\\"q\\\" # not\"  # comment", error);
    ASSERT_TRUE(w) << error;
    ASSERT_EQ(w->size(), 3u);
    EXPECT_EQ((*w)[0].text, "settext");
    EXPECT_FALSE((*w)[1].quoted);
    EXPECT_TRUE((*w)[2].quoted);
    EXPECT_EQ((*w)[2].text, "a\tb\r\n\\ \"q\" # not");
    const auto empty = splitScriptLine("   # only a comment", error);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
    const auto blankQuoted = splitScriptLine("click \"\"", error);
    ASSERT_TRUE(blankQuoted);
    EXPECT_EQ((*blankQuoted)[1].text, "");
}

TEST(ScriptLine, MalformedLinesAreRefused) {
    std::string error;
    EXPECT_FALSE(splitScriptLine("click \"1 OpenDev", error));
    EXPECT_EQ(error, "unterminated quoted text");
    EXPECT_FALSE(splitScriptLine("settext 1 \"\\q\"", error));
}

TEST(ScriptLine, OutputEscapes) {
    EXPECT_EQ(escapeOutput("a\r\nb\tc\\d"), "a\\r\\nb\\tc\\\\d");
    EXPECT_EQ(escapeOutput("中文"), "中文");
}

}  // namespace
}  // namespace pemblor::headless
