#pragma once
// Everything the receive thread touches besides the driver and its own
// files: the counters the status lines show, the save flag, the player and
// the preview it feeds, the clock of the debug lines and the way back to
// the user-interface thread. Every receive session holds the hub by shared
// ownership, so a thread left behind in a write keeps it alive. When the
// console ends it closes the hub: such a thread then finds it closed, ends
// without touching anything else, and nothing it reports reaches a console
// that is gone.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "capture/published.hpp"
#include "capture/recording_file.hpp"
#include "common/receive_stats.hpp"
#include "common/stream_consumers.hpp"
#include "ui/host.hpp"

namespace pemblor::capture {

class ReceptionHub final : public common::StreamConsumers,
                           public WriteErrorSink,
                           public std::enable_shared_from_this<ReceptionHub> {
public:
    // Lines for the output list go through showLine, posted to the
    // user-interface thread by host.
    static std::shared_ptr<ReceptionHub> create(ui::Host& host, std::function<void(std::string_view)> showLine);

    common::ReceiveStats& stats() { return stats_; }

    // "SaveFile": whether stream and video data are written.
    void setSaving(bool on) { saving_.store(on, std::memory_order_relaxed); }
    bool saving() const { return saving_.load(std::memory_order_relaxed); }

    // The consumers, published by the user-interface thread, used by the receive thread.
    void publishPlayer(common::StreamFeed& player, std::uint32_t playSlot) override;
    void retractPlayer() override { player_.retract(); }
    void publishPreview(common::PreviewSink& preview) override { preview_.publish(&preview); }
    void retractPreview() override { preview_.retract(); }
    Published<common::StreamFeed>& player() { return player_; }
    Published<common::PreviewSink>& preview() { return preview_; }
    std::uint32_t playSlot() const { return playSlot_.load(std::memory_order_relaxed); }

    // The local time of the debug lines: the host's while the console is
    // there, the system's after.
    ui::LocalTime now();
    // A write failure, from the thread that wrote: one line for the output
    // list, handed to the user-interface thread while the console is there.
    void writeFailed(const std::filesystem::path& path, int error) override;

    // The console is going away: nothing more reaches it.
    void close();
    bool closed() const { return closed_.load(std::memory_order_acquire); }
    // Set once closed; files of a receive session stop taking bytes that
    // point into the card's areas when they see it.
    const std::atomic<bool>& closedFlag() const { return closed_; }

private:
    ReceptionHub(ui::Host& host, std::function<void(std::string_view)> showLine)
        : host_(&host), showLine_(std::move(showLine)) {}
    void show(const std::string& line);

    common::ReceiveStats stats_;
    std::atomic<bool> saving_{false};
    Published<common::StreamFeed> player_;
    Published<common::PreviewSink> preview_;
    std::atomic<std::uint32_t> playSlot_{0};

    std::mutex mutex_;  // host_ and showLine_
    ui::Host* host_;
    std::function<void(std::string_view)> showLine_;
    std::atomic<bool> closed_{false};
};

}  // namespace pemblor::capture
