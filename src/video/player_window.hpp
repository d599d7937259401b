#pragma once
// The stream player (dialog 130, "Display"): decodes the played stream slot
// live and draws it on render port 0. The receive thread feeds it payloads
// through feedStream(); the decoder's thread hands back pictures; the
// user-interface thread starts, stops, resizes and reads the counters.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <span>

#include "common/stream_consumers.hpp"
#include "ui/dialog.hpp"
#include "ui/host.hpp"
#include "video/decoder.hpp"
#include "video/renderer.hpp"

namespace pemblor::video {

namespace player {
inline constexpr int kVideoArea = 1037;
inline constexpr int kStart = 1039;
inline constexpr int kStop = 1040;
inline constexpr int kStatistic = 1000;
inline constexpr int kInfo = 1005;  // render method after Start, counters after Statistic
inline constexpr int kGdiDisplay = 1065;
}  // namespace player

class PlayerWindow final : public common::StreamFeed {
public:
    PlayerWindow(ui::Host& host, Renderer& renderer, DecoderFactory& decoders);
    // Stops first, so that no decoder thread outlives the window.
    ~PlayerWindow();
    PlayerWindow(const PlayerWindow&) = delete;
    PlayerWindow& operator=(const PlayerWindow&) = delete;

    ui::Dialog& dialog() { return dialog_; }

    // Receive thread: one block's payload, written to the decoder in pieces
    // of at most 8192 bytes while running; dropped otherwise.
    void feedStream(std::span<const std::uint8_t> payload) override;

    // The picture handler given to the decoder (its thread); public so that
    // tests can call it as a decoder would.
    int onPicture(std::uint32_t number, const std::uint8_t* picture, std::uint32_t show, std::uint32_t kind,
                  std::uint32_t width, std::uint32_t height, std::uint32_t codingType);

    bool running() const { return running_.load(std::memory_order_acquire); }
    std::uint32_t writeFailures() const { return writeFailures_.load(std::memory_order_relaxed); }
    std::uint32_t pictures() const { return pictures_.load(std::memory_order_relaxed); }

private:
    void start();
    void stop();
    void showStatistic();
    void resized(ui::SizeKind kind, int width, int height);
    // Opens render port 0; the method's name, or nothing when it cannot be opened.
    std::optional<RenderMethod> openPort();

    ui::Dialog dialog_;
    ui::Host& host_;
    Renderer& renderer_;
    DecoderFactory& decoders_;
    std::mutex mutex_;                  // the decoder against Stop
    std::unique_ptr<Decoder> decoder_;  // guarded by mutex_
    std::atomic<bool> running_{false};
    std::atomic<std::uint32_t> writeFailures_{0};  // W
    std::atomic<std::uint32_t> pictures_{0};       // B
};

}  // namespace pemblor::video
