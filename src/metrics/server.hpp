#pragma once
// The metrics served over HTTP at /metrics while a program runs, by the
// pull exposer of prometheus-cpp.
#include <memory>
#include <string>

#include "metrics/collector.hpp"
#include "metrics/listen_address.hpp"

namespace prometheus {
class Exposer;
}

namespace pemblor::metrics {

class Server {
public:
    // Serves collector at address; null, with the reason, when the address
    // can't be listened on.
    static std::unique_ptr<Server> start(const ListenAddress& address, std::shared_ptr<Collector> collector,
                                         std::string& error);
    // Stops answering; a scrape under way is finished first.
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    Collector& collector() { return *collector_; }

private:
    Server() = default;

    std::shared_ptr<Collector> collector_;
    std::unique_ptr<prometheus::Exposer> exposer_;
};

// The version the metrics report.
std::string programVersion();

// "--metrics ADDR:PORT": parses and starts; null with a one-line reason
// ("ADDR:PORT: reason") when either fails.
std::unique_ptr<Server> serveMetrics(const std::string& option, std::shared_ptr<Collector> collector,
                                     std::string& error);

}  // namespace pemblor::metrics
