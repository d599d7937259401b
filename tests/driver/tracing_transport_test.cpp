#include "driver/tracing_transport.hpp"

#include <gtest/gtest.h>

#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "driver/driver_link.hpp"
#include "support/recording_transport.hpp"

namespace pemblor::driver {
namespace {

using testing::Answer;
using testing::le32;

class TracingTest : public ::testing::Test {
protected:
    void SetUp() override {
        inner.addDevice(DriverLink::devicePath(0));
        ASSERT_TRUE(link.openDevice(DriverLink::devicePath(0)).valid());
        log.str("");
    }

    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        std::istringstream in(log.str());
        for (std::string line; std::getline(in, line);) out.push_back(line);
        return out;
    }

    // Everything but the duration, which is checked for its form.
    static std::string withoutDuration(const std::string& line) {
        static const std::regex duration(R"( \| \d+ us$)");
        EXPECT_TRUE(std::regex_search(line, duration)) << line;
        return std::regex_replace(line, duration, "");
    }

    std::string onlyLine() const {
        const auto all = lines();
        EXPECT_EQ(all.size(), 1u);
        return all.empty() ? std::string{} : withoutDuration(all.front());
    }

    testing::RecordingTransport inner;
    std::ostringstream log;
    TracingTransport tracing{inner, log};
    DriverLink link{tracing};
};

TEST_F(TracingTest, RequestLineShowsCodeNameRecordResultAndOutput) {
    inner.setAnswer(kReadWords, Answer{.out = le32({0x04030201, 0x08070605})});
    std::vector<std::uint32_t> words(2);
    EXPECT_EQ(link.readWords(1, 0x400, words), 8u);
    EXPECT_EQ(onlyLine(), "trace: 0x222014 read words h=1 in[12] 01000000 00040000 02000000 | ok 8 bytes | out "
                          "01020304 05060708");
    EXPECT_EQ(words[1], 0x08070605u);  // passed through untouched
}

TEST_F(TracingTest, FailedRequestWithoutRecordOrOutput) {
    inner.setAnswer(kDspReset, Answer{.ok = false});
    EXPECT_FALSE(link.resetDsp());
    EXPECT_EQ(onlyLine(), "trace: 0x22241c dsp reset h=1 in[0] - | failed 0 bytes | out -");
}

TEST_F(TracingTest, LongRecordsAndOutputsAreCut) {
    inner.setAnswer(kWriteBytes, Answer{.ok = true});
    link.writeBytes(0, 0x20, std::vector<std::uint8_t>(100, 0xab));
    inner.setAnswer(kDeviceInfo, Answer{.out = std::vector<std::uint8_t>(256, 0x11)});
    std::array<std::uint8_t, 256> info{};
    link.deviceInfo(0, info);
    const auto all = lines();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(withoutDuration(all[0]),
              "trace: 0x222054 write bytes h=1 in[112] 00000000 20000000 64000000 abababab abababab abababab "
              "abababab abababab .. | ok 0 bytes | out -");
    EXPECT_EQ(withoutDuration(all[1]),
              "trace: 0x2220c0 device info h=1 in[8] 00000000 00000000 | ok 256 bytes | out 11111111 11111111 "
              "11111111 11111111 ..");
}

TEST_F(TracingTest, OutputShownOnlyUpToTheReportedCountAndTheArea) {
    inner.queueAnswer(kSlotInfo, Answer{.out = le32({1, 2, 3, 4}), .bytes = 5});
    inner.queueAnswer(kDriverVersion, Answer{.out = le32({0x01070605, 0}), .bytes = 999});
    std::array<std::uint8_t, 16> slot{};
    std::array<std::uint8_t, 8> version{};
    link.slotInfo(slot);
    EXPECT_EQ(link.driverVersion(version), 8u);  // the link cuts the count; the trace shows the truth
    const auto all = lines();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(withoutDuration(all[0]), "trace: 0x222444 slot info h=1 in[0] - | ok 5 bytes | out 01000000 02");
    EXPECT_EQ(withoutDuration(all[1]),
              "trace: 0x222404 driver version h=1 in[0] - | ok 999 bytes | out 05060701 00000000");
}

TEST_F(TracingTest, OpenAndCloseLines) {
    link.closeDevice();
    link.openDevice(DriverLink::devicePath(7));
    std::array<std::uint8_t, 8> version{};
    link.driverVersion(version);
    const auto all = lines();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(withoutDuration(all[0]), "trace: close h=1 | ok");
    EXPECT_EQ(withoutDuration(all[1]), "trace: open \\\\.\\KSVECWDM7 | invalid");
    EXPECT_EQ(withoutDuration(all[2]), "trace: 0x222404 driver version h=-1 in[0] - | failed 0 bytes | out -");
}

TEST_F(TracingTest, LinesFromSeveralThreadsStayWhole) {
    inner.setAnswer(kFetchNotifications, Answer{.out = le32({18, 0, 0, 4096})});
    constexpr int kThreads = 4;
    constexpr int kEach = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([this] {
            for (int i = 0; i < kEach; ++i) {
                std::array<std::uint8_t, 128> out{};
                tracing.control(link.context().device(), kFetchNotifications, {}, out);
            }
        });
    }
    for (auto& t : threads) t.join();
    const auto all = lines();
    ASSERT_EQ(all.size(), std::size_t{kThreads * kEach});
    for (const auto& line : all) {
        ASSERT_EQ(withoutDuration(line),
                  "trace: 0x226548 fetch notifications h=1 in[0] - | ok 16 bytes | out 12000000 00000000 "
                  "00000000 00100000");
    }
}

}  // namespace
}  // namespace pemblor::driver
