#include "sim/settings/sim_text.hpp"

#include "common/input_file.hpp"

namespace pemblor::sim {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool hasHexPrefix(std::string_view text) {
    return text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
}

}  // namespace

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::optional<std::uint32_t> parseNumber(std::string_view text) {
    const bool hex = hasHexPrefix(text);
    if (hex) text.remove_prefix(2);
    if (text.empty()) return std::nullopt;
    const std::uint64_t base = hex ? 16 : 10;
    std::uint64_t value = 0;
    for (char c : text) {
        const int digit = hex ? hexValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (digit < 0) return std::nullopt;
        value = value * base + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

bool readNumber(std::string_view text, std::uint32_t& value, std::string& reason) {
    const auto n = parseNumber(text);
    if (!n) {
        reason = "'" + std::string(text) + "' is not a 32-bit number (decimal or 0x hex)";
        return false;
    }
    value = *n;
    return true;
}

std::optional<std::vector<std::string_view>> splitList(std::string_view text) {
    std::vector<std::string_view> items;
    std::size_t i = 0;
    bool needItem = false;  // a comma was seen since the last item
    while (i < text.size()) {
        if (isBlank(text[i])) {
            ++i;
        } else if (text[i] == ',') {
            if (items.empty() || needItem) return std::nullopt;
            needItem = true;
            ++i;
        } else {
            const std::size_t start = i;
            while (i < text.size() && !isBlank(text[i]) && text[i] != ',') ++i;
            items.push_back(text.substr(start, i - start));
            needItem = false;
        }
    }
    if (needItem) return std::nullopt;
    return items;
}

bool parseHexBytes(std::string_view text, std::vector<std::uint8_t>& bytes, std::string& error) {
    const auto groups = splitList(text);
    if (!groups) {
        error = "empty item in the hex bytes";
        return false;
    }
    bytes.clear();
    for (std::string_view group : *groups) {
        if (hasHexPrefix(group)) group.remove_prefix(2);
        if (group.empty()) {
            error = "'0x' without digits";
            return false;
        }
        for (char c : group) {
            if (hexValue(c) < 0) {
                error = "'" + std::string(1, c) + "' is not a hex digit";
                return false;
            }
        }
        if (group.size() % 2 != 0) {
            error = "odd number of hex digits in '" + std::string(group) + "'";
            return false;
        }
        for (std::size_t i = 0; i < group.size(); i += 2)
            bytes.push_back(static_cast<std::uint8_t>(hexValue(group[i]) << 4 | hexValue(group[i + 1])));
    }
    return true;
}

bool readLines(std::string_view text, std::string_view fileName, const LineReader& onLine, std::string& error) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        ++lineNumber;
        std::string reason;
        const bool tooLong = line.size() > common::kMaxTextLine;
        if (tooLong) reason = "the line is longer than " + std::to_string(common::kMaxTextLine) + " bytes";
        if (tooLong || !onLine(line, lineNumber, reason)) {
            error = std::string(fileName) + ":" + std::to_string(lineNumber) + ": " + common::shownText(reason);
            return false;
        }
    }
    return true;
}

}  // namespace pemblor::sim
