// --metrics ADDR:PORT as the operator writes it: the forms taken and the
// ones refused with their reason (a port in use: tests/cli).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "metrics/listen_address.hpp"

namespace pemblor::metrics {
namespace {

TEST(ListenAddress, EachFormIsTakenOrRefusedWithItsReason) {
    struct Case {
        const char* text;
        const char* server;  // nullptr: refused
        const char* reason;
    };
    const Case cases[] = {
        {"9100", "127.0.0.1:9100", ""},
        {"0.0.0.0:9100", "0.0.0.0:9100", ""},
        {"192.168.4.20:65535", "192.168.4.20:65535", ""},
        {"[::1]:9100", "[::1]:9100", ""},
        {"[::]:1", "[::]:1", ""},
        {"localhost:9100", nullptr, "not a numeric IPv4 address"},
        {":9100", nullptr, "not a numeric IPv4 address"},
        {"1.2.3:9100", nullptr, "not a numeric IPv4 address"},
        {"[::1]9100", nullptr, "an IPv6 address is written [ADDRESS]:PORT"},
        {"[fe80::zz]:9100", nullptr, "not a numeric IPv6 address"},
        {"::1:9100", nullptr, "not a numeric IPv4 address"},
        {"", nullptr, "the port must be a number from 1 to 65535"},
        {"0", nullptr, "the port must be a number from 1 to 65535"},
        {"65536", nullptr, "the port must be a number from 1 to 65535"},
        {"127.0.0.1:09100", nullptr, "the port must be a number from 1 to 65535"},
        {"127.0.0.1:91 ", nullptr, "the port must be a number from 1 to 65535"},
        {"127.0.0.1:+91", nullptr, "the port must be a number from 1 to 65535"},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto address = parseListenAddress(c.text, error);
        if (c.server) {
            ASSERT_TRUE(address) << c.text << ": " << error;
            EXPECT_EQ(address->text(), c.server);
        } else {
            EXPECT_FALSE(address) << c.text;
            EXPECT_EQ(error, c.reason) << c.text;
        }
    }
}

}  // namespace
}  // namespace pemblor::metrics
