#pragma once
// Where the metrics are served: "PORT" (loopback), "A.B.C.D:PORT" or
// "[IPv6]:PORT". Parsed strictly, and tried before anything else starts, so
// that a port in use is one line and nothing half-started.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pemblor::metrics {

struct ListenAddress {
    std::string host;  // a numeric address; IPv6 without the brackets
    bool ipv6 = false;
    std::uint16_t port = 0;

    // As the HTTP server takes it: "127.0.0.1:9100", "[::1]:9100".
    std::string text() const;
};

// nullopt and the reason when text is not one of the three forms.
std::optional<ListenAddress> parseListenAddress(std::string_view text, std::string& error);

// Binds a socket to the address and lets it go again: false, with the
// system's reason, when the port is taken or the address is not this machine's.
bool canListen(const ListenAddress& address, std::string& error);

}  // namespace pemblor::metrics
