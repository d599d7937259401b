// The metrics against the real Prometheus server: a watch over simulated
// cards at four times their rate is scraped every second; the server's
// figures must agree with what the simulator says it delivered, the card
// that vanishes must show down and its alert must be on its way, and the
// exposition must pass promtool. Skipped only where Prometheus is absent.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "capture/delivered.hpp"
#include "capture/recording_header.hpp"
#include "support/child_process.hpp"
#include "support/loopback.hpp"
#include "support/run_command.hpp"
#include "support/temp_dir.hpp"

namespace pemblor {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
using testing::ChildProcess;

constexpr const char* kPrometheus = "/usr/bin/prometheus";
constexpr const char* kPromtool = "/usr/bin/promtool";
const std::string kSource = PEMBLOR_SOURCE_DIR;

std::string urlEncoded(const std::string& text) {
    std::string out;
    char hex[4];
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '_' || c == '.' || c == '-') {
            out += static_cast<char>(c);
        } else {
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

double now() { return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count(); }

class PrometheusTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kPrometheus) || !std::filesystem::exists(kPromtool)) {
            GTEST_SKIP() << "the Prometheus server (Debian package prometheus) is not installed: "
                            "scripts/install-deps.sh installs it";
        }
    }

    // The result of a PromQL query; an empty array until the server answers.
    json query(std::uint16_t port, const std::string& promql) {
        const auto body = testing::httpGet(port, "/api/v1/query?query=" + urlEncoded(promql));
        if (!body) return json::array();
        const json answer = json::parse(*body, nullptr, false);
        if (answer.is_discarded() || answer["status"] != "success") return json::array();
        return answer["data"]["result"];
    }

    testing::TempDir dir;
};

TEST_F(PrometheusTest, TheRulesFileChecksAndEachAlertFiresOnItsFigures) {
    const auto check = testing::runCommand(std::string(kPromtool) + " check rules " + kSource +
                                           "/dist/pemblor-alerts.yml 2>&1");
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_THAT(check.out, ::testing::HasSubstr("SUCCESS: 4 rules found"));
    const auto fire = testing::runCommand(std::string(kPromtool) + " test rules " + kSource +
                                          "/tests/metrics/alerts.test.yml 2>&1");
    EXPECT_EQ(fire.status, 0) << fire.out;
}

TEST_F(PrometheusTest, AWatchScrapedEverySecondAgreesWithTheSimulator) {
    const std::uint16_t metricsPort = testing::freePort();
    const std::uint16_t serverPort = testing::freePort();
    std::ofstream(dir / "cards.ini") << "[card 0]\ndsp = running\nspeed = 4\nqueue = 16384\n"
                                        "[card 1]\ndsp = running\nspeed = 4\nvanish_after_ms = 3000\n";
    const auto report = dir / "report.json";
    ChildProcess watch({PEMBLORCTL_PATH, "--root", (dir / "root").string(), "--cards", "0,1", "--sim-config",
                        (dir / "cards.ini").string(), "--sim-report", report.string(), "--metrics",
                        std::to_string(metricsPort), "watch", "--record", (dir / "rec").string()},
                       dir / "watch.out", dir / "watch.err");

    // Once the card streams, the exposition as a scrape gets it passes promtool.
    std::string exposition;
    for (int i = 0; i < 200 && exposition.find("pemblor_stream_pictures_received_total") == std::string::npos; ++i) {
        exposition = testing::httpGet(metricsPort, "/metrics").value_or("");
        std::this_thread::sleep_for(50ms);
    }
    std::ofstream(dir / "scrape.txt") << exposition;
    const auto lint = testing::runCommand(std::string(kPromtool) + " check metrics < " + (dir / "scrape.txt").string() +
                                          " 2>&1");
    EXPECT_EQ(lint.status, 0) << lint.out;
    EXPECT_EQ(lint.out, "");

    std::ofstream(dir / "prometheus.yml") << "global:\n  scrape_interval: 1s\n  evaluation_interval: 1s\n"
                                             "rule_files:\n  - " << kSource << "/dist/pemblor-alerts.yml\n"
                                             "scrape_configs:\n  - job_name: pemblor\n    static_configs:\n"
                                             "      - targets: ['127.0.0.1:" << metricsPort << "']\n";
    ChildProcess server({kPrometheus, "--config.file=" + (dir / "prometheus.yml").string(),
                         "--storage.tsdb.path=" + (dir / "tsdb").string(),
                         "--web.listen-address=127.0.0.1:" + std::to_string(serverPort)},
                        dir / "prometheus.out", dir / "prometheus.err");
    // Twelve scrapes: a window long enough to hold many loops of the card's streams.
    constexpr int kScrapes = 12;
    json up;
    for (int i = 0; i < 600; ++i) {
        up = query(serverPort, "count_over_time(up{job=\"pemblor\"}[1m])");
        if (!up.empty() && std::stoi(up[0]["value"][1].get<std::string>()) >= kScrapes) break;
        std::this_thread::sleep_for(100ms);
    }
    ASSERT_FALSE(up.empty()) << "the server never scraped the watch";

    const json samples = query(serverPort, R"(pemblor_stream_received_bytes_total{device="0"}[1m])");
    const json pictures = query(serverPort, R"(pemblor_stream_pictures_received_total{device="0"}[1m])");
    const json dropped = query(serverPort, R"(pemblor_card_dropped_records_total{device="0"} + on(device)
                                              pemblor_console_dropped_blocks_total{device="0"})");
    const json vanished = query(serverPort, R"(pemblor_dsp_running{device="1"})");
    const json alerts = query(serverPort, R"(ALERTS{alertname="PemblorDspNotRunning"})");
    const double ended = now();
    EXPECT_EQ(watch.stop(SIGTERM, 20s), 0);
    EXPECT_EQ(server.stop(SIGTERM, 20s), 0);

    ASSERT_EQ(samples.size(), 8u);
    ASSERT_EQ(dropped.size(), 1u);
    EXPECT_EQ(dropped[0]["value"][1], "0");
    ASSERT_EQ(vanished.size(), 1u);
    EXPECT_EQ(vanished[0]["value"][1], "0");
    ASSERT_EQ(alerts.size(), 1u);
    EXPECT_EQ(alerts[0]["metric"]["device"], "1");
    EXPECT_THAT(alerts[0]["metric"]["alertstate"].get<std::string>(), ::testing::AnyOf("pending", "firing"));

    // Each stream's rate over the scraped window against the simulator's
    // over the same start, up to the end: what it delivered since the first
    // scrape, by its report. Its pictures come at 25 a second times its speed.
    struct Window {
        double t0, v0, t1, v1;
        double rate() const { return (v1 - v0) / (t1 - t0); }
    };
    const auto window = [](const json& series) {
        const json& values = series["values"];
        const auto at = [&](const json& v) { return std::stod(v[1].get<std::string>()); };
        return Window{values.front()[0], at(values.front()), values.back()[0], at(values.back())};
    };
    ASSERT_EQ(pictures.size(), 8u);
    for (const json& series : pictures) EXPECT_NEAR(window(series).rate(), 100.0, 2.0) << series["metric"];
    const std::vector<std::string> delivered = capture::testing::reportedStreamDigests(report, 0);
    ASSERT_EQ(delivered.size(), 8u);
    for (const json& series : samples) {
        ASSERT_GE(series["values"].size(), 2u);
        const auto [t0, v0, t1, v1] = window(series);
        const int channel = std::stoi(series["metric"]["channel"].get<std::string>());
        const std::size_t slot = (channel - 1) + (series["metric"]["stream"] == "sub" ? 4 : 0);
        const double total = std::stod(delivered[slot].substr(0, delivered[slot].find(' ')));
        const double scraped = (v1 - v0) / (t1 - t0);
        const double simulated = (total - v0) / (ended - t0);
        EXPECT_NEAR(scraped / simulated, 1.0, 0.02) << "slot " << slot;
        std::printf("slot %zu: %.0f bytes/s scraped, %.0f bytes/s by the simulator's report (%+.2f%%)\n", slot, scraped,
                    simulated, (scraped / simulated - 1) * 100);
    }

    // What the watch wrote, once it ended, is what the card delivered.
    std::vector<std::string> recorded;
    for (int slot = 0; slot < 8; ++slot) {
        std::vector<std::filesystem::path> files;
        for (const auto& segment : std::filesystem::directory_iterator(dir / "rec"))
            files.push_back(segment.path() / ("EVDATA000" + std::to_string(slot) + ".264"));
        recorded.push_back(capture::testing::filesDigest(files, capture::kRecordingHeaderSize));
    }
    EXPECT_EQ(recorded, delivered);
}

}  // namespace
}  // namespace pemblor
