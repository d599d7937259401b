#pragma once
// Test seams for the video windows: a renderer and a decoder factory that log
// their calls into one shared log, fail the calls a test names, and pass the
// rest on to a real renderer or decoder when they wrap one.
#include <algorithm>
#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "ui/dialog.hpp"
#include "video/decoder.hpp"
#include "video/renderer.hpp"

namespace pemblor::testing {

// Calls in the order they were made, from any thread.
class CallLog {
public:
    void add(std::string entry) {
        std::function<void(const std::string&)> observer;
        {
            std::lock_guard lock(mutex_);
            entries_.push_back(entry);
            observer = observer_;
        }
        if (observer) observer(entry);
    }
    // Told of every entry as it is added, on the caller's thread.
    void setObserver(std::function<void(const std::string&)> fn) {
        std::lock_guard lock(mutex_);
        observer_ = std::move(fn);
    }
    std::vector<std::string> entries() const {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        entries_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> entries_;
    std::function<void(const std::string&)> observer_;
};

// A render call that fails: "init", "open", "video" or "close", for one port
// (-1: any) and, for "open", one method (-1: any).
struct RenderFault {
    std::string call;
    int port = -1;
    int method = -1;
};

// Logs "init N", "open P C WxH Method" (C the area's control id) and
// "close P"; counts video calls per port and keeps the last one as
// "WxH r+OFFSET b+OFFSET" (the chroma planes' offsets from the luma plane).
class TestRenderer final : public video::Renderer {
public:
    explicit TestRenderer(CallLog& log, video::Renderer* inner = nullptr) : log_(log), inner_(inner) {}

    std::vector<RenderFault> faults;  // set before the calls

    int init(std::uint32_t client) override {
        log_.add("init " + std::to_string(client));
        if (fails("init", -1, -1)) return -1;
        return inner_ ? inner_->init(client) : 0;
    }
    int open(int port, video::VideoArea area, int width, int height, video::RenderMethod method) override {
        log_.add("open " + std::to_string(port) + " " + std::to_string(area.control) + " " + std::to_string(width) +
                 "x" + std::to_string(height) + " " + std::string(video::renderMethodName(method)));
        if (fails("open", port, static_cast<int>(method))) return -1;
        return inner_ ? inner_->open(port, area, width, height, method) : 0;
    }
    int video(int port, const video::PicturePlanes& planes, int width, int height) override {
        if (!video::validRenderPort(port)) return -1;
        {
            std::lock_guard lock(mutex_);
            if (keepDigests && width > 0 && height > 0) digests_[static_cast<std::size_t>(port)].push_back(digest(planes, width, height));
            ++videoCalls_[static_cast<std::size_t>(port)];
            lastVideo_[static_cast<std::size_t>(port)] =
                std::to_string(width) + "x" + std::to_string(height) + " r+" +
                std::to_string(planes.chromaR - planes.luma) + " b+" + std::to_string(planes.chromaB - planes.luma);
        }
        if (fails("video", port, -1)) return -1;
        return inner_ ? inner_->video(port, planes, width, height) : 0;
    }
    int close(int port) override {
        log_.add("close " + std::to_string(port));
        if (fails("close", port, -1)) return -1;
        return inner_ ? inner_->close(port) : 0;
    }

    int videoCalls(int port) const {
        std::lock_guard lock(mutex_);
        return videoCalls_.at(static_cast<std::size_t>(port));
    }
    std::string lastVideo(int port) const {
        std::lock_guard lock(mutex_);
        return lastVideo_.at(static_cast<std::size_t>(port));
    }
    // With keepDigests set (before the calls): a digest of every picture
    // drawn, laid out as the reference decoder's (luma, red, blue planes).
    bool keepDigests = false;
    std::vector<std::size_t> digests(int port) const {
        std::lock_guard lock(mutex_);
        return digests_.at(static_cast<std::size_t>(port));
    }

private:
    static std::size_t digest(const video::PicturePlanes& planes, int width, int height) {
        const std::size_t luma = static_cast<std::size_t>(width) * height, chroma = luma / 4;
        std::string bytes(reinterpret_cast<const char*>(planes.luma), luma);
        bytes.append(reinterpret_cast<const char*>(planes.chromaR), chroma);
        bytes.append(reinterpret_cast<const char*>(planes.chromaB), chroma);
        return std::hash<std::string>{}(bytes);
    }

    bool fails(const std::string& call, int port, int method) const {
        return std::any_of(faults.begin(), faults.end(), [&](const RenderFault& f) {
            return f.call == call && (f.port < 0 || f.port == port) && (f.method < 0 || f.method == method);
        });
    }

    CallLog& log_;
    video::Renderer* inner_;
    mutable std::mutex mutex_;
    std::array<int, video::kRenderPortCount> videoCalls_{};
    std::array<std::string, video::kRenderPortCount> lastVideo_;
    std::array<std::vector<std::size_t>, video::kRenderPortCount> digests_;
};

// Logs "dec open", "dec start", "dec stop" and "dec close"; keeps the size of
// every write. Fails the calls named in `failing` ("open", "start", "write").
class TestDecoders final : public video::DecoderFactory {
public:
    explicit TestDecoders(CallLog& log, video::DecoderFactory* inner = nullptr) : log_(log), inner_(inner) {}

    std::vector<std::string> failing;  // set before the calls

    int open(const video::DecodeOption& option, std::unique_ptr<video::Decoder>& handle) override {
        log_.add("dec open");
        handle.reset();
        {
            std::lock_guard lock(mutex_);
            handler_ = option.handler;
        }
        if (fails("open")) return -1;
        std::unique_ptr<video::Decoder> real;
        if (inner_ && inner_->open(option, real) < 0) return -1;
        handle = std::make_unique<Recording>(*this, std::move(real));
        return 0;
    }

    std::vector<std::size_t> writes() const {
        std::lock_guard lock(mutex_);
        return writes_;
    }
    void clearWrites() {
        std::lock_guard lock(mutex_);
        writes_.clear();
    }
    // The handler of the last open, to call as a decoder would.
    video::PictureHandler handler() const {
        std::lock_guard lock(mutex_);
        return handler_;
    }

private:
    class Recording final : public video::Decoder {
    public:
        Recording(TestDecoders& owner, std::unique_ptr<video::Decoder> real) : owner_(owner), real_(std::move(real)) {}
        ~Recording() override { owner_.log_.add("dec close"); }
        int start() override {
            owner_.log_.add("dec start");
            if (owner_.fails("start")) return -1;
            return real_ ? real_->start() : 0;
        }
        int write(std::span<const std::uint8_t> bytes, bool flush) override {
            {
                std::lock_guard lock(owner_.mutex_);
                owner_.writes_.push_back(bytes.size());
            }
            if (owner_.fails("write")) return -1;
            return real_ ? real_->write(bytes, flush) : static_cast<int>(bytes.size());
        }
        int stop() override {
            owner_.log_.add("dec stop");
            return real_ ? real_->stop() : 0;
        }

    private:
        TestDecoders& owner_;
        std::unique_ptr<video::Decoder> real_;
    };

    bool fails(const std::string& call) const {
        return std::find(failing.begin(), failing.end(), call) != failing.end();
    }

    CallLog& log_;
    video::DecoderFactory* inner_;
    mutable std::mutex mutex_;
    std::vector<std::size_t> writes_;
    video::PictureHandler handler_;
};

}  // namespace pemblor::testing
