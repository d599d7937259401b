#include "recording/recording_stream.hpp"

#include <array>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <vector>

#include "common/input_file.hpp"

namespace pemblor::recording {

using capture::kRecordingHeaderSize;
using capture::RecordingHeader;

namespace {
constexpr std::size_t kPiece = 1u << 20;
}  // namespace

RecordingStream::RecordingStream(const std::filesystem::path& path, UnitBytes keep, StreamOrder::Sink onPicture,
                                 AccessUnitSplitter::Sink onUnit)
    : onUnit_(std::move(onUnit)),
      order_(std::move(onPicture)),
      units_(
          [this](AccessUnit& u) {
              if (onUnit_) onUnit_(u);
              order_.add(u);
          },
          keep, [this](std::uint64_t at, const char* why) { order_.damage(at, why); }),
      filter_([this](std::span<const std::uint8_t> b, std::uint64_t at) { units_.push(b, at); }) {
    // A name from the command line must be a file: a folder "opens" but reads
    // nothing, and the open of a FIFO would wait for a writer.
    common::InputFile file;
    if (!file.open(path, openError_)) return;
    size_ = file.size();
    in_.open(path, std::ios::binary);
    if (!in_) {
        openError_ = common::systemReason(errno);
        return;
    }
    std::array<std::uint8_t, kRecordingHeaderSize> first{};
    in_.read(reinterpret_cast<char*>(first.data()), first.size());
    const auto got = static_cast<std::size_t>(in_.gcount());
    in_.clear();
    header_ = RecordingHeader::parse(std::span(first).first(got));
    if (header_) {
        filter_ = MarkedBlockFilter([this](std::span<const std::uint8_t> b, std::uint64_t at) { units_.push(b, at); },
                                    kRecordingHeaderSize);
    } else {
        in_.seekg(0);  // a bare stream: its first bytes are payload too
    }
    opened_ = static_cast<bool>(in_);
}

bool RecordingStream::run(const Progress& progress, const bool* stop) {
    if (!opened_) return false;
    std::vector<std::uint8_t> piece(kPiece);
    std::uint64_t done = header_ ? kRecordingHeaderSize : 0;
    double shown = 0;
    while (in_ && !(stop && *stop)) {
        in_.read(reinterpret_cast<char*>(piece.data()), static_cast<std::streamsize>(piece.size()));
        const auto got = static_cast<std::size_t>(in_.gcount());
        if (got == 0) break;
        payload_ += got;
        done += got;
        filter_.push(std::span<const std::uint8_t>(piece.data(), got));
        const double share = size_ ? static_cast<double>(done) / static_cast<double>(size_) : 1.0;
        if (progress && share - shown >= 0.01) progress(shown = share);
    }
    filter_.finish();
    units_.finish();
    order_.finish();
    return in_.eof() || (stop && *stop);
}

std::string dateText(std::uint32_t packed) {
    const driver::DateTime t = driver::unpackTime(packed);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    return text;
}

std::string rateText(std::uint32_t num, std::uint32_t den) {
    if (den == 0) return "0";
    if (num % den == 0) return std::to_string(num / den);
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", static_cast<double>(num) / den);
    std::string s = text;
    while (s.back() == '0') s.pop_back();
    return s;
}

std::string isoDateText(std::uint32_t packed) {
    const driver::DateTime t = driver::unpackTime(packed);
    std::tm tm{};
    tm.tm_year = t.year - 1900;
    tm.tm_mon = t.month - 1;
    tm.tm_mday = t.day;
    tm.tm_hour = t.hour;
    tm.tm_min = t.minute;
    tm.tm_sec = t.second;
    tm.tm_isdst = -1;  // whatever was in force on that day
    long offset = 0;
    const std::time_t when = std::mktime(&tm);
    std::tm local{};
    if (when != static_cast<std::time_t>(-1) && localtime_r(&when, &local)) offset = local.tm_gmtoff;
    const long minutes = (offset < 0 ? -offset : offset) / 60;
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02ld:%02ld", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    return text;
}

}  // namespace pemblor::recording
