#include "metrics_option.hpp"

#include <iostream>

namespace pemblor::cli {

bool startMetrics(const CliContext& context, const std::filesystem::path& dataRoot, MetricsService& service) {
    if (context.options.metrics.empty()) return true;
    auto collector = std::make_shared<metrics::Collector>(metrics::ProcessFacts{dataRoot, metrics::programVersion()});
    std::string error;
    service.server = metrics::serveMetrics(context.options.metrics, collector, error);
    if (!service.server) {
        std::cerr << "pemblorctl: --metrics " << error << "\n";
        return false;
    }
    service.collector = std::move(collector);
    return true;
}

}  // namespace pemblor::cli
