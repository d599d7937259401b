#include "cli_conventions.hpp"

#include <algorithm>
#include <csignal>
#include <iostream>
#include <streambuf>

namespace pemblor::cli {

namespace {

// Puts the program's name before each line it passes on to standard error.
class PrefixedLines final : public std::streambuf {
protected:
    int overflow(int c) override {
        if (c == traits_type::eof()) return traits_type::not_eof(c);
        if (atLineStart_) std::cerr << "pemblorctl: ";
        atLineStart_ = c == '\n';
        std::cerr.put(static_cast<char>(c));
        return c;
    }
    int sync() override {
        std::cerr.flush();
        return 0;
    }

private:
    bool atLineStart_ = true;
};

}  // namespace

std::ostream& errorLines() {
    static PrefixedLines lines;
    static std::ostream out(&lines);
    return out;
}

void onStopSignals(void (*handler)(int), bool hangUp) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    if (hangUp) sigaction(SIGHUP, &sa, nullptr);
}

int fail(std::string_view subject, std::string_view reason, int status) {
    std::cerr << "pemblorctl: ";
    if (!subject.empty()) std::cerr << subject << ": ";
    std::cerr << reason << '\n';
    return status;
}

namespace {

std::size_t editDistance(std::string_view a, std::string_view b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

std::string nearestName(std::string_view word, const std::vector<std::string>& candidates) {
    std::string best;
    std::size_t bestDistance = 0;
    for (const std::string& c : candidates) {
        const std::size_t d = editDistance(word, c);
        if (best.empty() || d < bestDistance) {
            best = c;
            bestDistance = d;
        }
    }
    // More edits than half the word: a different word, not a typo.
    return bestDistance * 2 <= std::max<std::size_t>(word.size(), 2) ? best : std::string();
}

}  // namespace pemblor::cli
