#include "metrics/listen_address.hpp"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>

namespace pemblor::metrics {

namespace {

std::optional<std::uint16_t> parsePort(std::string_view text) {
    unsigned value = 0;
    if (text.empty() || text.size() > 5 || text.front() == '0') return std::nullopt;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value > 65535) return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

bool isAddress(const std::string& host, bool ipv6) {
    std::array<unsigned char, sizeof(in6_addr)> buffer{};
    return ::inet_pton(ipv6 ? AF_INET6 : AF_INET, host.c_str(), buffer.data()) == 1;
}

}  // namespace

std::string ListenAddress::text() const {
    return (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::optional<ListenAddress> parseListenAddress(std::string_view text, std::string& error) {
    ListenAddress address{"127.0.0.1", false, 0};
    std::string_view portText = text;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find("]:");
        if (close == std::string_view::npos) {
            error = "an IPv6 address is written [ADDRESS]:PORT";
            return std::nullopt;
        }
        address.host = std::string(text.substr(1, close - 1));
        address.ipv6 = true;
        portText = text.substr(close + 2);
    } else if (const std::size_t colon = text.rfind(':'); colon != std::string_view::npos) {
        address.host = std::string(text.substr(0, colon));
        portText = text.substr(colon + 1);
    }
    if (!isAddress(address.host, address.ipv6)) {
        error = "not a numeric " + std::string(address.ipv6 ? "IPv6" : "IPv4") + " address";
        return std::nullopt;
    }
    const auto port = parsePort(portText);
    if (!port) {
        error = "the port must be a number from 1 to 65535";
        return std::nullopt;
    }
    address.port = *port;
    return address;
}

bool canListen(const ListenAddress& address, std::string& error) {
    const int family = address.ipv6 ? AF_INET6 : AF_INET;
    const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    // As the server will bind: a port left in TIME_WAIT by an earlier run is free.
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_storage storage{};
    socklen_t length = 0;
    if (address.ipv6) {
        auto* in6 = reinterpret_cast<sockaddr_in6*>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(address.port);
        ::inet_pton(AF_INET6, address.host.c_str(), &in6->sin6_addr);
        length = sizeof *in6;
    } else {
        auto* in4 = reinterpret_cast<sockaddr_in*>(&storage);
        in4->sin_family = AF_INET;
        in4->sin_port = htons(address.port);
        ::inet_pton(AF_INET, address.host.c_str(), &in4->sin_addr);
        length = sizeof *in4;
    }
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&storage), length) == 0 && ::listen(fd, 1) == 0;
    if (!bound) error = std::strerror(errno);
    ::close(fd);
    return bound;
}

}  // namespace pemblor::metrics
