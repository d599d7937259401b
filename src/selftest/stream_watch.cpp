#include "selftest/stream_watch.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>

#include "capture/recording_header.hpp"
#include "video/preview_picture.hpp"

namespace pemblor::selftest {

void RunHost::post(std::function<void()> fn) {
    const std::lock_guard lock(mutex_);
    posted_.push_back(std::move(fn));
}

void RunHost::drain() {
    std::deque<std::function<void()>> work;
    {
        const std::lock_guard lock(mutex_);
        work.swap(posted_);
    }
    for (auto& fn : work) fn();
}

void PreviewCounter::showPreviewFrame(std::uint32_t channel, std::span<std::uint8_t> picture, std::uint32_t code) {
    if (channel >= common::kChannelCount) return;
    // The least a picture of that code takes: 4:2:0.
    const std::size_t least = video::previewPictureBytes(video::previewPictureSize(code, false), false);
    if (picture.size() < least) misfits_.fetch_add(1);
    if (code == video::kCodeFullSize)
        fullSize_.fetch_add(1);
    else
        previews_[channel].fetch_add(1);
}

namespace {
constexpr auto kShortestSpan = std::chrono::milliseconds(250);
constexpr std::size_t kMostPictures = 400;  // enough for a median; pairs stay few
constexpr std::size_t kReadPiece = 64 * 1024;
}  // namespace

void Arrivals::look(const common::ReceiveStats& stats) {
    started_ = static_cast<std::size_t>(std::count_if(stats.slotTable.begin(), stats.slotTable.end(), [](auto& s) {
        return common::read(s.blockCount) != 0;
    }));
}

PictureTimes::PictureTimes(const std::filesystem::path& file)
    : fd_(::open(file.c_str(), O_RDONLY | O_CLOEXEC)),
      splitter_([this](const recording::AccessUnit& unit) {
          if (unit.picture) pictures_.push_back(now_);
      }, recording::UnitBytes::None),
      filter_([this](std::span<const std::uint8_t> bytes, std::uint64_t) { splitter_.push(bytes); }),
      piece_(kReadPiece) {}

PictureTimes::~PictureTimes() {
    if (fd_ >= 0) ::close(fd_);
}

void PictureTimes::look(Clock::time_point now) {
    now_ = now;
    for (;;) {
        const ssize_t n = fd_ < 0 ? 0 : ::read(fd_, piece_.data(), piece_.size());
        if (n <= 0) return;
        std::span<const std::uint8_t> got(piece_.data(), static_cast<std::size_t>(n));
        // The header is no stream.
        const std::size_t header = read_ < capture::kRecordingHeaderSize
                                       ? std::min<std::size_t>(got.size(), capture::kRecordingHeaderSize - read_)
                                       : 0;
        read_ += got.size();
        filter_.push(got.subspan(header));
    }
}

std::optional<double> PictureTimes::rate() const {
    const std::size_t step = pictures_.size() / kMostPictures + 1;
    std::vector<double> rates;
    for (std::size_t i = 0; i < pictures_.size(); i += step) {
        for (std::size_t j = i + step; j < pictures_.size(); j += step) {
            const auto span = pictures_[j] - pictures_[i];
            if (span < kShortestSpan) continue;
            rates.push_back(static_cast<double>(j - i) / std::chrono::duration<double>(span).count());
        }
    }
    if (rates.empty()) return std::nullopt;
    const auto middle = rates.begin() + static_cast<std::ptrdiff_t>(rates.size() / 2);
    std::nth_element(rates.begin(), middle, rates.end());
    return *middle;
}

}  // namespace pemblor::selftest
