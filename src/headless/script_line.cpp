#include "headless/script_line.hpp"

#include <charconv>

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

std::optional<long> parseScriptNumber(std::string_view text) {
    long v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc{} || end != text.data() + text.size()) return std::nullopt;
    return v;
}

std::string scriptLineError(const std::vector<Word>& w) {
    if (w[0].quoted) return "a command cannot be quoted";
    const std::string& cmd = w[0].text;
    // Commands on a control: n words, the last one quoted when asked.
    const auto onControl = [&w](std::size_t n, bool lastQuoted, std::string_view usage) -> std::string {
        if (w.size() != n || (lastQuoted && !w[n - 1].quoted)) return std::string(usage);
        if (w[1].quoted && w[1].text.empty()) return "a control's name cannot be empty";
        return {};
    };
    if (cmd == "select") return onControl(3, false, "usage: select <control> <index>|\"<item text>\"");
    if (cmd == "settext") return onControl(3, true, "usage: settext <control> \"<text>\"");
    if (cmd == "click") return onControl(2, false, "usage: click <control>");
    if (cmd == "state") return onControl(2, false, "usage: state <control>");
    if (cmd == "frames") return onControl(2, false, "usage: frames <control>");
    if (cmd == "print") return onControl(2, false, "usage: print <control>|list|labels");
    if (cmd == "snapshot") return onControl(3, true, "usage: snapshot <control> \"<path.png>\"");
    if (cmd == "answer") {
        const bool file = w.size() == 3 && !w[1].quoted && w[1].text == "file" && w[2].quoted;
        const bool cancel = w.size() == 2 && !w[1].quoted && w[1].text == "cancel";
        return file || cancel ? "" : "usage: answer file \"<path>\" | answer cancel";
    }
    if (cmd == "wait") {
        if (w.size() != 2 || w[1].quoted) return "usage: wait <ms>";
        const auto ms = parseScriptNumber(w[1].text);
        if (!ms || *ms < 0 || *ms > kMaxWaitMs)
            return "wait takes 0 to " + std::to_string(kMaxWaitMs) + " ms, not '" + w[1].text + "'";
        return "";
    }
    return "unknown command '" + cmd + "'";
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
