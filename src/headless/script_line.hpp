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

// A day: longer waits are typos, and time sums stay far from overflowing.
inline constexpr long kMaxWaitMs = 86'400'000;

// A whole decimal number (no sign but '-', nothing after it); nothing otherwise.
std::optional<long> parseScriptNumber(std::string_view text);

// Why a line's words can't run whatever the dialogs show (an unknown command,
// a wrong number or kind of arguments, a wait out of range, an empty control
// name); empty when they can. words is not empty.
std::string scriptLineError(const std::vector<Word>& words);

// Writes text for one output event: CR, LF, tab and backslash as \r \n \t \\.
std::string escapeOutput(std::string_view text);

}  // namespace pemblor::headless
