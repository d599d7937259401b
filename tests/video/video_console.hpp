#pragma once
// The script console with its video windows on a simulated card, for scenario
// tests: the windows draw into the script host's store through a logging
// renderer, decode through a logging decoder (FFmpeg's, or none), and the
// card's traffic is held back until the window under test has started, then
// handed out one fetch per `pace`, as a card delivers it over time. Script
// lines are sent while the console runs, so a test can wait for what the
// windows received before it reads the results.
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <istream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/console.hpp"
#include "capture/live_console.hpp"
#include "driver/driver_link.hpp"
#include "driver/request_codes.hpp"
#include "headless/script_host.hpp"
#include "sim/settings/replay.hpp"
#include "sim/card/sim_transport.hpp"
#include "support/console_script.hpp"
#include "support/video_fakes.hpp"

namespace pemblor::video::testing {

// Passes every request on; fetches of notification records wait until the
// gate opens, then go one per pace.
class PacedTransport final : public driver::ForwardingTransport {
public:
    PacedTransport(driver::Transport& inner, std::chrono::milliseconds pace) : ForwardingTransport(inner), pace_(pace) {}

    // The first fetch passes `settle` later: the window that opened the gate
    // finishes its Start meanwhile (it takes data 10 ms after its decoder or
    // ports are open).
    void openGate(std::chrono::milliseconds settle = std::chrono::milliseconds(500)) {
        {
            std::lock_guard lock(mutex_);
            if (open_) return;
            open_ = true;
            next_ = std::chrono::steady_clock::now() + settle;
        }
        opened_.notify_all();
    }

    driver::ControlResult control(driver::DeviceHandle h, std::uint32_t code, std::span<const std::uint8_t> in,
                                  std::span<std::uint8_t> out) override {
        if (code == driver::kFetchNotifications) holdBack();
        return inner_.control(h, code, in, out);
    }

private:
    void holdBack() {
        std::unique_lock lock(mutex_);
        // A gate that never opens lets the traffic go after a while, so that
        // reception can always be stopped.
        opened_.wait_for(lock, std::chrono::seconds(60), [this] { return open_; });
        const auto now = std::chrono::steady_clock::now();
        if (next_ > now) {
            lock.unlock();
            std::this_thread::sleep_until(next_);
            lock.lock();
        }
        next_ = std::chrono::steady_clock::now() + pace_;
    }

    const std::chrono::milliseconds pace_;
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
    std::chrono::steady_clock::time_point next_{};
};

struct VideoConsoleOptions {
    std::chrono::milliseconds pace{5};
    bool realDecoder = true;  // FFmpeg behind the logging decoder, or nothing
    // The log entry that opens the gate: the player's decoder started, or the
    // last preview port opened. Empty: open from the start.
    std::string gateOn = "dec start";
};

class VideoConsole {
public:
    VideoConsole(sim::SimSettings settings, std::filesystem::path root, VideoConsoleOptions options = {})
        : cards_(std::move(settings)),
          paced_(cards_, options.pace),
          link_(paced_),
          in_(&feed_),
          root_(std::move(root)),
          renderer_(log_, &host_.renderer()),
          decoders_(log_, options.realDecoder ? &ffmpeg_ : nullptr) {
        if (options.gateOn.empty()) paced_.openGate(std::chrono::milliseconds(0));
        log_.setObserver([this, gate = options.gateOn](const std::string& entry) {
            if (!gate.empty() && entry.rfind(gate, 0) == 0) paced_.openGate();
        });
        app::ConsoleOptions consoleOptions;
        consoleOptions.renderer = &renderer_;
        consoleOptions.decoders = &decoders_;
        thread_ = std::thread([this, consoleOptions] {
            app::Console console(host_, link_, consoleOptions);
            console.run();
        });
    }
    ~VideoConsole() { finish(); }

    void send(const std::string& lines) { feed_.push(lines); }
    std::vector<std::string> finish() {
        if (thread_.joinable()) {
            feed_.close();
            thread_.join();
        }
        return pemblor::testing::splitLines(out_.str());
    }
    int exitCode() const { return host_.exitCode(); }
    std::string errors() const { return err_.str(); }

    pemblor::testing::CallLog& log() { return log_; }
    pemblor::testing::TestRenderer& renderer() { return renderer_; }
    pemblor::testing::TestDecoders& decoders() { return decoders_; }

    // Waits, at most limit, until pred holds.
    static bool waitFor(const std::function<bool()>& pred, std::chrono::seconds limit = std::chrono::seconds(60)) {
        return capture::testing::LiveConsole::waitFor(pred, limit);
    }

private:
    sim::SimTransport cards_;
    PacedTransport paced_;
    driver::DriverLink link_;
    capture::testing::LineFeed feed_;
    std::ostringstream out_, err_;
    std::istream in_;
    std::filesystem::path root_;
    headless::ScriptHost host_{in_, out_, err_, root_};
    pemblor::testing::CallLog log_;
    FfmpegDecoders ffmpeg_;
    pemblor::testing::TestRenderer renderer_;
    pemblor::testing::TestDecoders decoders_;
    std::thread thread_;
};

}  // namespace pemblor::video::testing
