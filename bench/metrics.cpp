// What serving the metrics costs. A scrape over HTTP through the exposer, as
// Prometheus makes it, for 1 and 32 cards (goal: under 10 ms for 32), next
// to the collection alone; and the receive path's dispatch of stream blocks
// with and without a scraper reading its counters all the while (goal: no
// difference beyond the noise), on the same traffic in the same run.
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <iostream>
#include <memory>
#include <random>
#include <thread>
#include <vector>

#include "bench_support.hpp"
#include "capture/receive_dispatch.hpp"
#include "capture/reception_hub.hpp"
#include "capture/stream_walk.hpp"
#include "driver/little_endian.hpp"
#include "metrics/server.hpp"
#include "ui/text_host.hpp"

namespace {

using namespace pemblor;

// N cards with moving figures, as a watch over N cards holds them.
struct Cards {
    explicit Cards(int n) : stats(n), health(n) {
        for (int i = 0; i < n; ++i) {
            driver::CardIdentity id;
            id.serial = "SIM2026-" + std::to_string(1000 + i);
            id.slot = static_cast<std::uint32_t>(i + 3);
            id.version = 0x01070605;
            health[i].setIdentity(i, id);
            for (common::StreamSlot& s : stats[i].slotTable) {
                common::set(s.blockCount, 123456);
                common::add(s.bytesReceived, 987654321);
                common::set(s.bitRate, 786432);
            }
        }
    }
    std::vector<common::ReceiveStats> stats;
    std::vector<driver::CardHealth> health;
};

std::shared_ptr<metrics::Collector> collectorOf(Cards& cards) {
    auto collector = std::make_shared<metrics::Collector>(metrics::ProcessFacts{"/tmp", "bench"});
    for (std::size_t i = 0; i < cards.stats.size(); ++i) collector->addCard({&cards.stats[i], &cards.health[i]});
    return collector;
}

std::uint16_t freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof at;
    ::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &length);
    ::close(fd);
    return ntohs(at.sin_port);
}

// One scrape as a client makes it: connect, ask, read to the end. The bytes read.
std::size_t scrape(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::size_t total = 0;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0) {
        const char request[] = "GET /metrics HTTP/1.0\r\n\r\n";
        ::send(fd, request, sizeof request - 1, MSG_NOSIGNAL);
        char buf[65536];
        ssize_t n;
        while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0) total += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return total;
}

void BM_ScrapeOverHttp(benchmark::State& state) {
    Cards cards(static_cast<int>(state.range(0)));
    std::string error;
    const metrics::ListenAddress at{"127.0.0.1", false, freePort()};
    auto server = metrics::Server::start(at, collectorOf(cards), error);
    if (!server) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::size_t bytes = 0;
    for (auto _ : state) bytes = scrape(at.port);
    state.counters["exposition_bytes"] = static_cast<double>(bytes);
    state.SetLabel(bench::processorName());
}
BENCHMARK(BM_ScrapeOverHttp)->Arg(1)->Arg(32)->Unit(benchmark::kMillisecond);

void BM_CollectAndSerialize(benchmark::State& state) {
    Cards cards(static_cast<int>(state.range(0)));
    const auto collector = collectorOf(cards);
    for (auto _ : state) benchmark::DoNotOptimize(metrics::exposition(collector->Collect()));
}
BENCHMARK(BM_CollectAndSerialize)->Arg(1)->Arg(32)->Unit(benchmark::kMillisecond);

// A run of the card's size at its own pace (~16 KB a fetch): the eight
// streams in turn, a marked block now and then.
struct Run {
    std::vector<std::uint8_t> area = std::vector<std::uint8_t>(32 << 10);
    std::uint32_t length = 0;
    Run() {
        std::mt19937 rng(7);
        std::uniform_int_distribution<int> size(100, 1500);
        std::size_t at = 0;
        for (std::uint32_t n = 0;; ++n) {
            const bool marked = n % 50 == 0;
            const std::size_t payload = marked ? 16 : static_cast<std::size_t>(size(rng));
            if (at + 8 + payload > (16u << 10)) break;
            driver::storeU32(area, at, static_cast<std::uint32_t>(payload + 8));
            driver::storeU32(area, at + 4, n % 8);
            if (marked) driver::storeU32(area, at + 8, capture::kMarkedBlockWord);
            at += 8 + payload;
        }
        length = static_cast<std::uint32_t>(at);
    }
};

// Dispatch alone (no files: saving off), with arg 1 a scraper reading the
// same counters without pause on another thread.
void BM_DispatchWhileScraped(benchmark::State& state) {
    Run run;
    std::vector<std::uint8_t> other(4096);
    ui::TextHost host(std::cerr);
    auto hub = capture::ReceptionHub::create(host, nullptr);
    capture::RecordingSet files;
    capture::ReceiveDispatcher dispatcher({run.area, other, other, other}, *hub, files);
    std::array<std::uint8_t, capture::kFetchSize> records{};
    driver::storeU32(records, 0, capture::kStreamBlocksReady);
    driver::storeU32(records, 12, run.length);

    Cards cards(32);
    driver::CardHealth health;
    health.setIdentity(32, driver::CardIdentity{});
    auto collector = collectorOf(cards);
    collector->addCard({&hub->stats(), &health});
    std::atomic<bool> stop{false};
    std::atomic<long> scrapes{0};
    std::thread scraper;
    if (state.range(0) == 1) {
        scraper = std::thread([&] {
            while (!stop.load(std::memory_order_relaxed)) {
                benchmark::DoNotOptimize(metrics::exposition(collector->Collect()));
                scrapes.fetch_add(1, std::memory_order_relaxed);
            }
        });
    }
    for (auto _ : state) dispatcher.dispatch(records);
    stop = true;
    if (scraper.joinable()) scraper.join();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * run.length);
    state.counters["scrapes"] = static_cast<double>(scrapes.load());
    hub->close();
}
BENCHMARK(BM_DispatchWhileScraped)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

}  // namespace

