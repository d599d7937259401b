#pragma once
// A simulated transport with one card open, and requests that take and give
// byte vectors.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "driver/little_endian.hpp"
#include "driver/request_codes.hpp"
#include "sim/card/sim_transport.hpp"

namespace pemblor::sim::test {

using Bytes = std::vector<std::uint8_t>;

inline std::string pathOf(int n) { return "\\\\.\\KSVECWDM" + std::to_string(n); }

inline Bytes words(std::initializer_list<std::uint32_t> list) {
    Bytes b(list.size() * 4);
    std::size_t at = 0;
    for (std::uint32_t w : list) {
        driver::storeU32(b, at, w);
        at += 4;
    }
    return b;
}

inline std::uint32_t wordAt(const Bytes& b, std::size_t index) { return driver::loadU32(b, index * 4); }

struct Answer {
    driver::ControlResult result;
    Bytes out;
};

class SimCardTest : public ::testing::Test {
protected:
    void start(SimSettings settings, int number = 0) {
        transport_.emplace(std::move(settings));
        handle_ = transport_->open(pathOf(number));
        ASSERT_TRUE(handle_.valid());
    }
    void startWith(std::string_view config, int number = 0) {
        SimSettings settings = SimSettings::withCards({0, 1});
        std::string error;
        ASSERT_TRUE(applySimConfigText(config, "test.ini", settings, error)) << error;
        start(std::move(settings), number);
    }

    // The output area is filled with 0xEE first, so untouched bytes show.
    Answer call(std::uint32_t code, const Bytes& in, std::size_t outSize,
                driver::DeviceHandle handle = driver::DeviceHandle::invalid()) {
        Answer a{{}, Bytes(outSize, 0xEE)};
        a.result = transport_->control(handle.valid() ? handle : handle_, code, in, a.out);
        EXPECT_LE(a.result.bytes, outSize);
        return a;
    }
    Answer info(std::uint32_t category, std::size_t outSize = 256) {
        return call(driver::kDeviceInfo, words({category, 0}), outSize);
    }
    // Request 0x222054's record: bar, offset, length, then the bytes.
    static Bytes writeRecord(std::uint32_t bar, std::uint32_t offset, const Bytes& data) {
        Bytes in = words({bar, offset, static_cast<std::uint32_t>(data.size())});
        in.insert(in.end(), data.begin(), data.end());
        return in;
    }
    bool writeBar(std::uint32_t bar, std::uint32_t offset, const Bytes& data) {
        return call(driver::kWriteBytes, writeRecord(bar, offset, data), 0).result.ok;
    }
    bool writeWord(std::uint32_t bar, std::uint32_t offset, std::uint32_t value) {
        return call(driver::kWriteWords, words({bar, offset, 1, value}), 0).result.ok;
    }
    // The bytes of request 0x222050, empty when it failed.
    Bytes readBar(std::uint32_t bar, std::uint32_t offset, std::size_t length) {
        Answer a = call(driver::kReadBytes, words({bar, offset, static_cast<std::uint32_t>(length)}), length);
        return a.result.ok ? a.out : Bytes{};
    }
    Answer aux(const Bytes& record, std::size_t outSize) { return call(driver::kAuxCommand, record, outSize); }

    std::optional<SimTransport> transport_;
    driver::DeviceHandle handle_;
};

}  // namespace pemblor::sim::test
