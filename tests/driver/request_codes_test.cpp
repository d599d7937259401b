#include <gtest/gtest.h>

#include <set>
#include <string>

#include "driver/request_codes.hpp"

namespace pemblor::driver {
namespace {

// Device type 0x22, buffered transfer; read access only for the notification fetch.
constexpr std::uint32_t controlCode(std::uint32_t function, std::uint32_t access = 0) {
    return 0x22u << 16 | access << 14 | function << 2;
}

struct CodeRow {
    std::uint32_t code;
    std::uint32_t function;
    std::uint32_t access;
};

constexpr CodeRow kRows[] = {
    {kReadWords, 0x805, 0},         {kWriteWords, 0x806, 0},       {kReadBytes, 0x814, 0},
    {kWriteBytes, 0x815, 0},        {kDeviceInfo, 0x830, 0},       {kAuxCommand, 0x831, 0},
    {kDriverVersion, 0x901, 0},     {kHardwareInfo, 0x910, 0},     {kSlotInfo, 0x911, 0},
    {kMapAddresses, 0x903, 0},      {kUnmapAddresses, 0x904, 0},   {kRegisterEvent, 0x821, 0},
    {kFetchNotifications, 0x952, 1}, {kDspState, 0x906, 0},        {kDspReset, 0x907, 0},
    {kDspInterrupt, 0x909, 0},      {kDspLoadBlock, 0x908, 0},     {kSetDspTime, 0x917, 0},
    {kSetDmaVaddr, 0x940, 0},       {kSetDmaOaddr, 0x942, 0},      {kChannelSwitch, 0x920, 0},
    {kSubChannelSwitch, 0x943, 0},  {kChannelStatus, 0x91d, 0},    {kChannelStatusAck, 0x91c, 0},
};

TEST(RequestCodes, FollowTheControlCodeLayoutOfTheirFunctions) {
    for (const CodeRow& row : kRows) {
        EXPECT_EQ(row.code, controlCode(row.function, row.access)) << std::hex << row.code;
    }
}

TEST(RequestCodes, EveryCodeHasItsOwnName) {
    std::set<std::string_view> names;
    for (const CodeRow& row : kRows) {
        const std::string_view name = requestName(row.code);
        EXPECT_NE(name, "unknown") << std::hex << row.code;
        EXPECT_TRUE(names.insert(name).second) << "duplicate name " << name;
    }
    EXPECT_EQ(requestName(kReadWords), "read words");
    EXPECT_EQ(requestName(kAuxCommand), "aux command");
    EXPECT_EQ(requestName(0x222000), "unknown");
    EXPECT_EQ(requestName(0), "unknown");
}

}  // namespace
}  // namespace pemblor::driver
