// pemblorctl watch: the burn-in run. Opens the cards, receives from each
// (recording into segments when --record is given), serves the metrics,
// prints one status line per card a minute, and ends on SIGINT/SIGTERM or
// after --hours with every file finished.
#include <CLI/CLI.hpp>
#include <csignal>
#include <cstring>
#include <ctime>
#include <iostream>
#include <thread>

#include "cli_context.hpp"
#include "cli_conventions.hpp"
#include "common/iso_time.hpp"
#include "common/printf_line.hpp"
#include "metrics_option.hpp"
#include "sim/settings/sim_settings.hpp"
#include "watched_card.hpp"

#ifdef PEMBLOR_HAVE_SYSTEMD
#include <systemd/sd-daemon.h>
#endif

namespace pemblor::cli {

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kTick = std::chrono::seconds(1);
constexpr auto kStatusEvery = std::chrono::seconds(60);
constexpr auto kSleepSlice = std::chrono::milliseconds(50);

struct WatchOptions {
    std::string devices;  // empty: every device number that opens
    std::string record;
    double hours = 0;     // 0: until a signal
    double segmentMinutes = 60;
};

volatile std::sig_atomic_t stopSignal = 0;

void onStopSignal(int signal) { stopSignal = signal; }

// Tells systemd (a unit of Type=notify) where the run stands; nothing without it.
void notifyService([[maybe_unused]] const std::string& state) {
#ifdef PEMBLOR_HAVE_SYSTEMD
    sd_notify(0, state.c_str());
#endif
}

// Segments get a folder each, numbered and named for when they began, so
// that the console's file names stay as they are inside it.
std::filesystem::path segmentFolder(const std::filesystem::path& record, int index) {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    char when[20];
    std::strftime(when, sizeof when, "%Y%m%dT%H%M%S", &local);
    return record / common::printfLine("seg%04d-%s", index, when);
}

class Watch {
public:
    Watch(CliContext& context, const WatchOptions& options) : context_(context), options_(options) {}

    int run() {
        std::vector<int> devices;
        if (!checkOptions(devices)) return 2;
        if (!startMetrics(context_, recording() ? std::filesystem::path(options_.record) : context_.dataRoot(),
                          metrics_))
            return 2;
        if (recording() && !makeRecordFolder()) return 2;
        driver::Transport* transport = context_.transport();
        if (!transport) return 2;
        onStopSignals(onStopSignal);
        openCards(*transport, devices);
        if (cards_.empty()) {
            std::cerr << "pemblorctl: watch: no card opened\n";
            return finish(1);
        }
        startCards();
        notifyService("READY=1\nSTATUS=watching " + std::to_string(cards_.size()) + " cards");
        loop();
        notifyService("STOPPING=1");
        // The last line sums up the minutes since the one before.
        printStatus();
        return finish(0);
    }

private:
    bool recording() const { return !options_.record.empty(); }

    bool checkOptions(std::vector<int>& devices) {
        std::string error;
        if (!options_.devices.empty()) {
            const auto list = sim::parseCardList(options_.devices, error);
            if (!list || list->empty()) {
                std::cerr << "pemblorctl: --devices: " << (list ? "no device number given" : error) << "\n";
                return false;
            }
            devices = *list;
        } else {
            for (int n = 0; n < driver::kDeviceCount; ++n) devices.push_back(n);
        }
        // Bounded, so that the durations made of them can't overflow.
        constexpr double kLongest = 1e6;
        if (!(options_.hours >= 0 && options_.hours <= kLongest) ||
            !(options_.segmentMinutes > 0 && options_.segmentMinutes <= kLongest)) {
            std::cerr << "pemblorctl: watch: --hours must be 0 to 1000000 and --segment-minutes more than 0 up to 1000000\n";
            return false;
        }
        return true;
    }

    bool makeRecordFolder() {
        std::error_code ec;
        std::filesystem::create_directories(options_.record, ec);
        if (ec || !std::filesystem::is_directory(options_.record)) {
            std::cerr << "pemblorctl: " << options_.record << ": "
                      << (ec ? ec.message() : std::string(std::strerror(ENOTDIR))) << "\n";
            return false;
        }
        return true;
    }

    void say(int device, const std::string& line) { std::cout << "Dev" << device << ": " << line << std::endl; }

    void openCards(driver::Transport& transport, const std::vector<int>& devices) {
        for (int n : devices) {
            auto card = std::make_unique<WatchedCard>(transport, host_, n,
                                                      [this, n](const std::string& line) { say(n, line); });
            if (!card->open()) {
                // Asked for by number, a card that is not there is worth a line.
                if (!options_.devices.empty()) std::cerr << "pemblorctl: Dev" << n << ": does not open\n";
                continue;
            }
            metrics_.addCard(card->feed());
            cards_.push_back(std::move(card));
        }
    }

    std::filesystem::path root() {
        if (!recording()) return context_.dataRoot();
        const std::filesystem::path folder = segmentFolder(options_.record, ++segment_);
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        if (ec) std::cerr << "pemblorctl: " << folder.string() << ": " << ec.message() << "\n";
        return folder;
    }

    void startCards() {
        const std::filesystem::path folder = root();
        for (auto& card : cards_) {
            if (card->start(folder, recording())) say(card->device(), "reception started into " + folder.string());
        }
    }

    void loop() {
        const Clock::time_point begun = Clock::now();
        lastStatus_ = begun;
        const auto segment = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double, std::ratio<60>>(options_.segmentMinutes));
        const auto hours = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double, std::ratio<3600>>(options_.hours));
        Clock::time_point nextTick = begun + kTick;
        Clock::time_point nextStatus = begun + kStatusEvery;
        Clock::time_point nextSegment = begun + segment;
        while (stopSignal == 0 && (options_.hours == 0 || Clock::now() - begun < hours)) {
            std::this_thread::sleep_for(kSleepSlice);
            host_.run();
            const Clock::time_point now = Clock::now();
            if (now >= nextTick) {
                for (auto& card : cards_) card->tick();
                notifyService("WATCHDOG=1");
                nextTick += kTick;
            }
            if (now >= nextStatus) {
                printStatus();
                nextStatus += kStatusEvery;
            }
            if (recording() && now >= nextSegment) {
                const std::filesystem::path folder = root();
                for (auto& card : cards_) card->rotate(folder, true);
                nextSegment += segment;
            }
        }
    }

    void printStatus() {
        const Clock::time_point now = Clock::now();
        const auto since = std::chrono::duration<double>(now - lastStatus_);
        lastStatus_ = now;
        const std::string time = common::isoLocalTime(std::time(nullptr));
        for (auto& card : cards_) std::cout << time << " Dev" << card->device() << ": " << card->statusLine(since) << "\n";
        std::cout.flush();
    }

    // Every file finished, then scrapes end, then the cards go. Reception
    // stops on all cards side by side (each stop may wait for its thread a
    // while), and only then are they closed: a close waits for the requests
    // of every other card's thread under way.
    int finish(int status) {
        std::vector<std::thread> stopping;
        for (auto& card : cards_) stopping.emplace_back([&card] { card->stopReception(); });
        for (std::thread& t : stopping) t.join();
        for (auto& card : cards_) card->end();
        host_.run();
        metrics_.server.reset();
        cards_.clear();
        return status;
    }

    CliContext& context_;
    const WatchOptions& options_;
    QueuedHost host_{std::cerr};
    MetricsService metrics_;
    std::vector<std::unique_ptr<WatchedCard>> cards_;
    int segment_ = 0;
    Clock::time_point lastStatus_ = Clock::now();
};

void installWatch(CLI::App& app, CliContext& context) {
    auto* cmd = app.add_subcommand("watch", "Receive from the cards for hours: status lines, metrics, recordings");
    auto options = std::make_shared<WatchOptions>();
    cmd->add_option("--devices", options->devices, "Device numbers to watch (default: every one that opens)")
        ->type_name("LIST");
    cmd->add_option("--record", options->record, "Record the streams into segment folders under DIR")
        ->type_name("DIR");
    cmd->add_option("--hours", options->hours, "End after H hours (default: run until SIGINT or SIGTERM)")
        ->type_name("H");
    cmd->add_option("--segment-minutes", options->segmentMinutes, "Start a new segment folder every M minutes")
        ->default_str("60")->type_name("M");
    cmd->footer(
        "Examples:\n"
        "  pemblorctl watch --hours 8                               every card, counted\n"
        "  pemblorctl --metrics 9464 watch --record /data/burn-in   recorded, served to Prometheus\n"
        "  pemblorctl watch --devices 0,1 --record runs --segment-minutes 10");
    cmd->callback([&context, options] { context.exitCode = Watch(context, *options).run(); });
}

}  // namespace

PEMBLOR_CLI_COMMAND(installWatch);

}  // namespace pemblor::cli
