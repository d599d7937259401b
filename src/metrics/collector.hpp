#pragma once
// The figures a scrape answers with, read at scrape time from the counters
// reception already keeps (relaxed atomics) and from each card's health:
// nothing is added to the receive path, and a card that goes takes its
// series with it. Names and units follow Prometheus' conventions.
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include <prometheus/collectable.h>
#include <prometheus/metric_family.h>

#include "common/receive_stats.hpp"
#include "driver/card_health.hpp"

namespace pemblor::metrics {

// One card: what its reception counts and what its poll found. Both must
// outlive the server that reads them.
struct CardFeed {
    const common::ReceiveStats* stats = nullptr;
    const driver::CardHealth* health = nullptr;
};

struct ProcessFacts {
    std::filesystem::path dataRoot;  // its free space is shown
    std::string version;
    std::chrono::system_clock::time_point started = std::chrono::system_clock::now();
};

class Collector final : public prometheus::Collectable {
public:
    explicit Collector(ProcessFacts facts) : facts_(std::move(facts)) {}

    // Cards may be added while the server already answers (start-up).
    void addCard(CardFeed feed);

    std::vector<prometheus::MetricFamily> Collect() const override;

private:
    void collectCard(const CardFeed& feed, std::vector<prometheus::MetricFamily>& families) const;
    void collectProcess(std::vector<prometheus::MetricFamily>& families) const;

    ProcessFacts facts_;
    mutable std::mutex mutex_;  // cards_
    std::vector<CardFeed> cards_;
};

// The exposition text of families, as a scrape gets it.
std::string exposition(const std::vector<prometheus::MetricFamily>& families);

}  // namespace pemblor::metrics
