#include "metrics/server.hpp"

#include <exception>
#include <prometheus/exposer.h>

namespace pemblor::metrics {

namespace {
// Two threads answer: a scraper and a person with curl at the same time.
constexpr std::size_t kServerThreads = 2;
}  // namespace

std::unique_ptr<Server> Server::start(const ListenAddress& address, std::shared_ptr<Collector> collector,
                                      std::string& error) {
    // The HTTP server says only that it failed; a bind of our own says why.
    if (!canListen(address, error)) return nullptr;
    std::unique_ptr<Server> server(new Server());
    try {
        server->exposer_ = std::make_unique<prometheus::Exposer>(address.text(), kServerThreads);
    } catch (const std::exception& e) {
        // Debian's build of the HTTP server (civetweb) listens on IPv4 alone.
        error = address.ipv6 ? "the HTTP server of this build listens on IPv4 addresses only" : e.what();
        return nullptr;
    }
    server->collector_ = std::move(collector);
    server->exposer_->RegisterCollectable(server->collector_);
    return server;
}

Server::~Server() = default;

std::string programVersion() { return PEMBLOR_METRICS_VERSION; }

std::unique_ptr<Server> serveMetrics(const std::string& option, std::shared_ptr<Collector> collector,
                                     std::string& error) {
    const auto address = parseListenAddress(option, error);
    std::unique_ptr<Server> server = address ? Server::start(*address, std::move(collector), error) : nullptr;
    if (!server) error = option + ": " + error;
    return server;
}

}  // namespace pemblor::metrics
