// libFuzzer target for the script host's reading of a script: lines of
// bounded length, split into words, checked for their form, and the texts the
// host echoes made safe. The input is the script itself.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "common/input_file.hpp"
#include "headless/script_line.hpp"

namespace {

bool echoIsSafe(const std::string& shown, std::size_t maxWord) {
    std::size_t word = 0;
    for (const char c : shown) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) return false;
        word = c == ' ' ? 0 : word + 1;
        if (word > maxWord + 3) return false;  // the cut adds "..."
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace pemblor;
    std::istringstream script(std::string(reinterpret_cast<const char*>(data), size));
    std::string line;
    constexpr std::size_t kLimit = 256;  // small, so that long lines are reached
    for (;;) {
        const common::LineRead read = common::readBoundedLine(script, line, kLimit);
        if (read == common::LineRead::kEnd || read == common::LineRead::kTooLong) break;
        if (line.size() > kLimit) std::abort();
        std::string error;
        const auto words = headless::splitScriptLine(line, error);
        if (!words) {
            if (error.empty()) std::abort();
            continue;
        }
        if (!words->empty()) error = headless::scriptLineError(*words);
        for (const headless::Word& w : *words) {
            const std::string out = headless::escapeOutput(w.text);
            if (out.find_first_of("\r\n\t") != std::string::npos) std::abort();
        }
        if (!echoIsSafe(common::shownText(error, 16), 16)) std::abort();
    }
    return 0;
}
