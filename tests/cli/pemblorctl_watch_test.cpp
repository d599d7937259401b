// pemblorctl watch and --metrics as an operator runs them: bad input ends
// with one line and status 2 before anything starts; a watch serves its
// cards, rotates its segments without losing a byte, and ends cleanly on
// SIGTERM or after --hours; the script console serves its open card.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <thread>

#include "capture/delivered.hpp"
#include "capture/recording_header.hpp"
#include "support/child_process.hpp"
#include "support/loopback.hpp"
#include "support/run_command.hpp"
#include "support/temp_dir.hpp"

namespace pemblor::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using namespace std::chrono_literals;
using pemblor::testing::ChildProcess;
using pemblor::testing::httpGet;

constexpr const char* kRunningCards = "[card 0]\ndsp = running\nspeed = 4\n[card 1]\ndsp = never\n";

std::string readText(const std::filesystem::path& p) {
    std::ifstream in(p);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Scrapes until pattern shows up (the cards take a moment to come up).
std::string scrapeUntil(std::uint16_t port, const std::regex& pattern) {
    std::string last;
    for (int i = 0; i < 200; ++i) {
        if (auto body = httpGet(port, "/metrics")) {
            last = *body;
            if (std::regex_search(last, pattern)) break;
        }
        std::this_thread::sleep_for(50ms);
    }
    return last;
}

class WatchTest : public ::testing::Test {
protected:
    pemblor::testing::TempDir dir;
    std::string ini = (dir / "cards.ini").string();
    void SetUp() override { std::ofstream(ini) << kRunningCards; }
    std::vector<std::string> ctl(std::vector<std::string> args) {
        std::vector<std::string> all = {PEMBLORCTL_PATH, "--root", (dir / "root").string(), "--sim-config", ini};
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }
    std::string shell(const std::vector<std::string>& args) {
        std::string line;
        for (const std::string& a : ctl(args)) line += "'" + a + "' ";
        return line + "2>&1";
    }
};

TEST_F(WatchTest, BadInputIsOneLineAndStatusTwoWithNothingStarted) {
    pemblor::testing::TakenPort taken;
    const std::string port = std::to_string(taken.port());
    const std::string inUse = "127.0.0.1:" + port;
    const std::string record = (dir / "rec").string();
    const std::string script = (dir / "s.txt").string();
    std::ofstream(script) << "click \"1 OpenDev\"\n";
    struct Case {
        std::vector<std::string> args;
        std::string line;
    };
    const Case cases[] = {
        {{"--metrics", inUse, "watch", "--record", record},
         "pemblorctl: --metrics " + inUse + ": Address already in use\n"},
        {{"--metrics", inUse, "console", "--script", script},
         "pemblorctl: --metrics " + inUse + ": Address already in use\n"},
        {{"--metrics", "localhost:9100", "watch"}, "pemblorctl: --metrics localhost:9100: not a numeric IPv4 address\n"},
        // TEST-NET-3: never an address of this machine.
        {{"--metrics", "203.0.113.9:" + port, "watch"},
         "pemblorctl: --metrics 203.0.113.9:" + port + ": Cannot assign requested address\n"},
        {{"--metrics", "[::1]", "watch"},
         "pemblorctl: --metrics [::1]: an IPv6 address is written [ADDRESS]:PORT\n"},
        {{"--metrics", "[::1]:" + port, "watch"},
         "pemblorctl: --metrics [::1]:" + port + ": the HTTP server of this build listens on IPv4 addresses only\n"},
        {{"--metrics", "127.0.0.1:70000", "console", "--script", script},
         "pemblorctl: --metrics 127.0.0.1:70000: the port must be a number from 1 to 65535\n"},
        {{"watch", "--devices", "0,32"}, "pemblorctl: --devices: '32' is not a device number 0..31\n"},
        {{"watch", "--segment-minutes", "0"},
         "pemblorctl: watch: --hours must be 0 to 1000000 and --segment-minutes more than 0 up to 1000000\n"},
        {{"watch", "--hours", "1e300"},
         "pemblorctl: watch: --hours must be 0 to 1000000 and --segment-minutes more than 0 up to 1000000\n"},
        {{"watch", "--record", ini}, "pemblorctl: " + ini + ": Not a directory\n"},
    };
    for (const Case& c : cases) {
        const auto r = pemblor::testing::runCommand(shell(c.args));
        EXPECT_EQ(r.status, 2) << r.out;
        EXPECT_EQ(r.out, c.line);
    }
    EXPECT_FALSE(std::filesystem::exists(record));
}

TEST_F(WatchTest, AWatchServesRotatesAndEndsOnSigtermWithEveryByteInItsFiles) {
    const std::uint16_t port = pemblor::testing::freePort();
    const auto record = dir / "rec";
    const auto report = dir / "report.json";
    ChildProcess watch(ctl({"--cards", "0,1", "--sim-report", report.string(), "--metrics", std::to_string(port),
                            "watch", "--record", record.string(), "--segment-minutes", "0.02"}),
                       dir / "out.txt", dir / "err.txt");
    const std::string dev0 = R"(device="0",serial="SIM2026-0000",slot="3")";
    const std::string metrics = scrapeUntil(port, std::regex("pemblor_written_bytes_total\\{" + dev0 +
                                                             ",kind=\"stream\"\\} [1-9]"));
    EXPECT_THAT(metrics, HasSubstr("pemblor_dsp_running{" + dev0 + "} 1\n"));
    EXPECT_THAT(metrics, HasSubstr("pemblor_reception_active{" + dev0 + "} 1\n"));
    // A DSP that never runs: watched, shown, not received from.
    EXPECT_THAT(metrics, HasSubstr(R"(pemblor_dsp_running{device="1",serial="SIM2026-0001",slot="4"} 0)"));
    EXPECT_THAT(metrics, HasSubstr(R"(pemblor_reception_active{device="1",serial="SIM2026-0001",slot="4"} 0)"));
    // Past two rotations (1.2 s each) before the end.
    std::this_thread::sleep_for(4500ms);
    EXPECT_EQ(watch.stop(SIGTERM, 20s), 0) << readText(dir / "err.txt");

    const std::string out = readText(dir / "out.txt");
    EXPECT_THAT(out, HasSubstr("Dev0: reception started into " + record.string() + "/seg0001-"));
    EXPECT_THAT(out, HasSubstr("Dev1: the DSP does not run its program, reception not started\n"));
    EXPECT_TRUE(std::regex_search(out, std::regex("\n\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d Dev0: dsp "
                                                  "running, reception on, [0-9.]+ pictures/s, [0-9]+ kbit/s, dropped 0 "
                                                  "by the card and 0 by the console, [1-9][0-9]* bytes written, 0 write errors\n")))
        << out;
    EXPECT_EQ(readText(dir / "err.txt"), "");

    std::vector<std::filesystem::path> segments;
    for (const auto& entry : std::filesystem::directory_iterator(record)) segments.push_back(entry.path());
    std::sort(segments.begin(), segments.end());
    EXPECT_GE(segments.size(), 3u);
    std::vector<std::string> recorded;
    for (int slot = 0; slot < 8; ++slot) {
        std::vector<std::filesystem::path> files;
        for (const auto& s : segments) files.push_back(s / ("EVDATA000" + std::to_string(slot) + ".264"));
        recorded.push_back(capture::testing::filesDigest(files, capture::kRecordingHeaderSize));
    }
    EXPECT_EQ(recorded, capture::testing::reportedStreamDigests(report, 0));

    // --hours ends it by itself, just as cleanly, and a service manager
    // listening is told that it is ready, alive and stopping.
    const int notify = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_un at{};
    at.sun_family = AF_UNIX;
    const std::string socketPath = (dir / "notify").string();
    socketPath.copy(at.sun_path, sizeof at.sun_path - 1);
    ASSERT_EQ(::bind(notify, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    const auto timed = pemblor::testing::runCommand("NOTIFY_SOCKET=" + socketPath + " " +
                                                    shell({"watch", "--hours", "0.0005"}));
    EXPECT_EQ(timed.status, 0) << timed.out;
    EXPECT_THAT(timed.out, HasSubstr(" Dev0: dsp running, reception on, "));
    std::vector<std::string> told;
    char message[256];
    for (ssize_t n; (n = ::recv(notify, message, sizeof message, 0)) > 0;) told.emplace_back(message, n);
    ::close(notify);
    ASSERT_GE(told.size(), 3u);
    EXPECT_EQ(told.front(), "READY=1\nSTATUS=watching 2 cards");
    EXPECT_EQ(told[1], "WATCHDOG=1");
    EXPECT_EQ(told.back(), "STOPPING=1");
}

TEST_F(WatchTest, TheScriptConsoleServesTheCardItOpened) {
    const std::uint16_t port = pemblor::testing::freePort();
    const auto script = dir / "s.txt";
    std::ofstream(script) << "click \"1 OpenDev\"\nclick \"RecvData\"\nwait 6000\nclick \"RecvData\"\n";
    ChildProcess console(ctl({"--metrics", "0.0.0.0:" + std::to_string(port), "console", "--script", script.string()}),
                         dir / "out.txt", dir / "err.txt");
    const std::string dev0 = R"(device="0",serial="SIM2026-0000",slot="3")";
    // Served on every address, loopback among them.
    std::string metrics;
    const std::regex received("pemblor_stream_received_bytes_total\\{" + dev0 + ",channel=\"1\",stream=\"main\"\\} [1-9]");
    for (int i = 0; i < 200 && !std::regex_search(metrics, received); ++i) {
        metrics = httpGet(port, "/metrics").value_or("");
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_THAT(metrics, HasSubstr("pemblor_dsp_running{" + dev0 + "} 1\n"));
    EXPECT_THAT(metrics, HasSubstr("pemblor_reception_active{" + dev0 + "} 1\n"));
    EXPECT_TRUE(std::regex_search(metrics, received)) << metrics;
    EXPECT_EQ(console.stop(SIGTERM, 20s), 0) << readText(dir / "err.txt");
}

}  // namespace
}  // namespace pemblor::cli
