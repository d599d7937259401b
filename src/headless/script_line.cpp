#include "headless/script_line.hpp"

namespace pemblor::headless {

std::optional<std::vector<Word>> splitScriptLine(std::string_view line, std::string& error) {
    std::vector<Word> words;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        if (c == '#') break;
        Word w;
        if (c == '"') {
            w.quoted = true;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                const char q = line[i++];
                if (q == '"') {
                    closed = true;
                    break;
                }
                if (q != '\\') {
                    w.text += q;
                    continue;
                }
                if (i >= line.size()) break;
                switch (const char e = line[i++]) {
                    case 'r': w.text += '\r'; break;
                    case 'n': w.text += '\n'; break;
                    case 't': w.text += '\t'; break;
                    case '\\': w.text += '\\'; break;
                    case '"': w.text += '"'; break;
                    default:
                        error = std::string("unknown escape \\") + e;
                        return std::nullopt;
                }
            }
            if (!closed) {
                error = "unterminated quoted text";
                return std::nullopt;
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') w.text += line[i++];
        }
        words.push_back(std::move(w));
    }
    return words;
}

std::string escapeOutput(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
            case '\r': out += "\\r"; break;
            case '\n': out += "\\n"; break;
            case '\t': out += "\\t"; break;
            case '\\': out += "\\\\"; break;
            default: out += c;
        }
    }
    return out;
}

}  // namespace pemblor::headless
