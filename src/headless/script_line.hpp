#pragma once
// Splitting one script line into words: bare words, and double-quoted texts
// with \r \n \t \\ \" escapes. A '#' outside quotes starts a comment.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pemblor::headless {

struct Word {
    std::string text;
    bool quoted = false;
};

// nullopt, with a reason, for an unterminated quote or a bad escape.
std::optional<std::vector<Word>> splitScriptLine(std::string_view line, std::string& error);

// Writes text for one output event: CR, LF, tab and backslash as \r \n \t \\.
std::string escapeOutput(std::string_view text);

}  // namespace pemblor::headless
