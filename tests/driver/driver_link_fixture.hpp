#pragma once
// A driver link on the recording transport with device 0 open.
#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <vector>

#include "driver/driver_link.hpp"
#include "support/recording_transport.hpp"

namespace pemblor::driver {

class DriverLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        transport.addDevice(DriverLink::devicePath(0));
        ASSERT_TRUE(link.openDevice(DriverLink::devicePath(0)).valid());
    }

    // The one request sent since the start of the test.
    testing::RecordedRequest onlyRequest() const {
        const auto all = transport.requests();
        EXPECT_EQ(all.size(), 1u);
        return all.empty() ? testing::RecordedRequest{} : all.front();
    }

    // 1, 2, 3, ... as distinguishable payload bytes.
    static std::vector<std::uint8_t> pattern(std::size_t n, std::uint8_t first = 1) {
        std::vector<std::uint8_t> bytes(n);
        std::iota(bytes.begin(), bytes.end(), first);
        return bytes;
    }

    testing::RecordingTransport transport;
    DriverLink link{transport};
};

}  // namespace pemblor::driver
