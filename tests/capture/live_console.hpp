#pragma once
// The script console on simulated cards, fed line by line while it runs on a
// thread of its own, as an operator types: the test sends a few lines, waits
// for what the card and the console do (files growing, say), and sends more.
// The output is read once the console has ended.
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <istream>
#include <memory>
#include <mutex>
#include <sstream>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

#include "app/console.hpp"
#include "driver/driver_link.hpp"
#include "headless/script_host.hpp"
#include "sim/card/sim_transport.hpp"
#include "support/console_script.hpp"

namespace pemblor::capture::testing {

// A script that arrives while it is read: reading waits for the next line.
class LineFeed final : public std::streambuf {
public:
    void push(std::string text) {
        {
            std::lock_guard lock(mutex_);
            pending_ += text;
        }
        ready_.notify_all();
    }
    void close() {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        ready_.notify_all();
    }

protected:
    int_type underflow() override {
        std::unique_lock lock(mutex_);
        ready_.wait(lock, [&] { return !pending_.empty() || closed_; });
        if (pending_.empty()) return traits_type::eof();
        current_.swap(pending_);
        pending_.clear();
        setg(current_.data(), current_.data(), current_.data() + current_.size());
        return traits_type::to_int_type(current_[0]);
    }

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::string pending_, current_;
    bool closed_ = false;
};

class LiveConsole {
public:
    // wrap, when given, puts a transport of the test's between the console and the cards.
    using Wrap = std::function<std::unique_ptr<driver::Transport>(driver::Transport& cards)>;

    LiveConsole(sim::SimSettings settings, std::filesystem::path root, const Wrap& wrap = {})
        : transport_(std::move(settings)),
          wrapped_(wrap ? wrap(transport_) : nullptr),
          link_(wrapped_ ? *wrapped_ : static_cast<driver::Transport&>(transport_)),
          in_(&feed_),
          root_(std::move(root)) {
        thread_ = std::thread([this] {
            headless::ScriptHost host(in_, out_, err_, root_);
            {
                // The video windows draw into the host's store, as in pemblorctl.
                app::ConsoleOptions options;
                options.renderer = &host.renderer();
                app::Console console(host, link_, std::move(options));
                console.run();
            }
            exitCode_ = host.exitCode();
        });
    }
    ~LiveConsole() { finish(); }

    void send(const std::string& lines) { feed_.push(lines); }
    // Ends the script (the console ends as at the end of any script) and
    // returns what it printed, one event a line.
    std::vector<std::string> finish() {
        if (thread_.joinable()) {
            feed_.close();
            thread_.join();
        }
        return pemblor::testing::splitLines(out_.str());
    }
    int exitCode() const { return exitCode_; }
    std::string errors() const { return err_.str(); }
    sim::SimTransport& transport() { return transport_; }

    // Waits, at most limit, until pred holds.
    static bool waitFor(const std::function<bool()>& pred, std::chrono::seconds limit = std::chrono::seconds(30)) {
        const auto until = std::chrono::steady_clock::now() + limit;
        while (!pred()) {
            if (std::chrono::steady_clock::now() > until) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

private:
    sim::SimTransport transport_;
    std::unique_ptr<driver::Transport> wrapped_;
    driver::DriverLink link_;
    LineFeed feed_;
    std::istream in_;
    std::ostringstream out_, err_;
    std::filesystem::path root_;
    int exitCode_ = -1;
    std::thread thread_;
};

}  // namespace pemblor::capture::testing
