#pragma once
// --metrics ADDR:PORT for the commands that open cards: parsed and bound
// before anything else starts, so that a bad address or a port in use is one
// line and exit status 2 with nothing started.
#include <filesystem>
#include <memory>

#include "cli_context.hpp"
#include "metrics/server.hpp"

namespace pemblor::cli {

struct MetricsService {
    std::shared_ptr<metrics::Collector> collector;  // null when --metrics was not given
    std::unique_ptr<metrics::Server> server;

    void addCard(metrics::CardFeed feed) {
        if (collector) collector->addCard(feed);
    }
};

// False, with the line on standard error, when --metrics was given and can't
// be served. dataRoot is the folder whose free space is shown.
bool startMetrics(const CliContext& context, const std::filesystem::path& dataRoot, MetricsService& service);

}  // namespace pemblor::cli
