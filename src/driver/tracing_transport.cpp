#include "driver/tracing_transport.hpp"

#include <algorithm>
#include <charconv>
#include <string>

#include "driver/request_codes.hpp"

namespace pemblor::driver {
namespace {

// Enough of a record to recognise it; payloads can be megabytes.
constexpr std::size_t kInputShown = 32;
constexpr std::size_t kOutputShown = 16;

using Clock = std::chrono::steady_clock;

// Bytes in lower-case hex, grouped by u32 word; "-" when there are none and
// " .." when more were there than shown.
void appendHex(std::string& line, std::span<const std::uint8_t> bytes, std::size_t limit) {
    static constexpr char kDigits[] = "0123456789abcdef";
    if (bytes.empty()) {
        line += '-';
        return;
    }
    const std::size_t shown = std::min(bytes.size(), limit);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i != 0 && i % 4 == 0) line += ' ';
        line += kDigits[bytes[i] >> 4];
        line += kDigits[bytes[i] & 0x0f];
    }
    if (bytes.size() > shown) line += " ..";
}

void appendNumber(std::string& line, std::uint64_t value, int base = 10) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value, base).ptr;
    line.append(digits, end);
}

void appendHandle(std::string& line, DeviceHandle handle) {
    line += "h=";
    if (handle.valid()) {
        appendNumber(line, handle.value);
    } else {
        line += "-1";
    }
}

void appendDuration(std::string& line, Clock::time_point start) {
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    line += " | ";
    appendNumber(line, static_cast<std::uint64_t>(us.count()));
    line += " us";
}

}  // namespace

DeviceHandle TracingTransport::open(std::string_view path) {
    const auto start = Clock::now();
    const DeviceHandle handle = inner_.open(path);
    std::string line = "trace: open ";
    line += path;
    line += " | ";
    if (handle.valid()) {
        appendHandle(line, handle);
    } else {
        line += "invalid";
    }
    appendDuration(line, start);
    write(line);
    return handle;
}

ControlResult TracingTransport::control(DeviceHandle handle, std::uint32_t code,
                                        std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
    const auto start = Clock::now();
    const ControlResult result = inner_.control(handle, code, in, out);
    std::string line;
    line.reserve(192);
    line += "trace: 0x";
    appendNumber(line, code, 16);
    line += ' ';
    line += requestName(code);
    line += ' ';
    appendHandle(line, handle);
    line += " in[";
    appendNumber(line, in.size());
    line += "] ";
    appendHex(line, in, kInputShown);
    line += result.ok ? " | ok " : " | failed ";
    appendNumber(line, result.bytes);
    line += " bytes | out ";
    // The count as reported, but never a byte beyond the area.
    appendHex(line, out.first(std::min<std::size_t>(result.bytes, out.size())), kOutputShown);
    appendDuration(line, start);
    write(line);
    return result;
}

bool TracingTransport::close(DeviceHandle handle) {
    const auto start = Clock::now();
    const bool ok = inner_.close(handle);
    std::string line = "trace: close ";
    appendHandle(line, handle);
    line += ok ? " | ok" : " | failed";
    appendDuration(line, start);
    write(line);
    return ok;
}

void TracingTransport::write(const std::string& line) {
    const std::lock_guard lock(mutex_);
    log_ << line << '\n';
    log_.flush();  // a trace is most wanted when the program dies right after
}

}  // namespace pemblor::driver
