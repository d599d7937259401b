// The auxiliary command 0x2220c4: one record per sub-code, the platform flag
// plus the reported count.
#include <functional>
#include <string>

#include "driver_link_fixture.hpp"

namespace pemblor::driver {
namespace {

using testing::Answer;
using testing::le32;

struct AuxCase {
    std::string name;
    std::vector<std::uint8_t> in;
    std::size_t outSize;
    std::function<AuxResult(DriverLink&)> call;
};

void PrintTo(const AuxCase& c, std::ostream* os) { *os << c.name; }

std::vector<AuxCase> auxCases() {
    return {
        {"ReadDecoderRegister", le32({3, 0, 0x48}), 16,
         [](DriverLink& l) {
             std::array<std::uint8_t, 16> out{};
             return l.readDecoderRegister(0x48, out);
         }},
        {"WriteDecoderRegister", le32({4, 0, 0x12, 0x04030201}), 0,
         [](DriverLink& l) { return l.writeDecoderRegister(0x12, 0x04030201); }},
        {"ReadPhysical", le32({9, 0x1f000000}), 64,
         [](DriverLink& l) {
             std::vector<std::uint8_t> out(64);
             return l.readPhysical(0x1f000000, out);
         }},
        {"ReadDspField", le32({10, 0x80000000}), 33,
         [](DriverLink& l) {
             std::vector<std::uint8_t> out(33);
             return l.readDspField(0x80000000, out);
         }},
        {"SetDmaPaddr", le32({12, 0}), 0, [](DriverLink& l) { return l.setDmaPaddr(); }},
        {"ReadOriginalVideo", le32({13, 0x100}), 512,
         [](DriverLink& l) {
             std::vector<std::uint8_t> out(512);
             return l.readOriginalVideo(0x100, out);
         }},
        {"WriteOriginalVideo", le32({14, 0x40}), 8,
         [](DriverLink& l) {
             std::vector<std::uint8_t> data(8, 0xee);
             return l.writeOriginalVideo(0x40, data);
         }},
        {"DebugCommand", le32({0x0c, 0}), 0, [](DriverLink& l) { return l.debugCommand(0x0c); }},
        {"DebugCommandAnyNumber", le32({0xffffffff, 0}), 0, [](DriverLink& l) { return l.debugCommand(0xffffffff); }},
    };
}

class AuxCommand : public DriverLinkTest, public ::testing::WithParamInterface<AuxCase> {};

TEST_P(AuxCommand, SendsItsRecordAndReportsFlagAndCount) {
    const AuxCase& c = GetParam();
    const std::uint32_t reported = static_cast<std::uint32_t>(c.outSize / 2);
    transport.setAnswer(kAuxCommand, Answer{.ok = true, .out = pattern(c.outSize), .bytes = reported});
    const AuxResult result = c.call(link);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(result.bytes, reported);
    const auto r = onlyRequest();
    EXPECT_EQ(r.code, kAuxCommand);
    EXPECT_EQ(r.in, c.in);
    EXPECT_EQ(r.outSize, c.outSize);
}

TEST_P(AuxCommand, FailureKeepsTheReportedCountWithinTheArea) {
    const AuxCase& c = GetParam();
    transport.setAnswer(kAuxCommand, Answer{.ok = false, .bytes = static_cast<std::uint32_t>(c.outSize + 100)});
    const AuxResult result = c.call(link);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.bytes, c.outSize);
}

INSTANTIATE_TEST_SUITE_P(AllSubCodes, AuxCommand, ::testing::ValuesIn(auxCases()),
                         [](const ::testing::TestParamInfo<AuxCase>& info) { return info.param.name; });

TEST_F(DriverLinkTest, WriteOriginalVideoHandsTheDataOverAsTheOutputArea) {
    std::vector<std::uint8_t> data = pattern(6, 0x10);
    transport.setAnswer(kAuxCommand, Answer{.out = {0xaa, 0xbb}});
    const AuxResult result = link.writeOriginalVideo(0x200, data);
    EXPECT_EQ(result.bytes, 2u);
    const auto r = onlyRequest();
    EXPECT_EQ(r.outBefore, pattern(6, 0x10));
    // What the driver writes back replaces the data, as the write dump shows it.
    EXPECT_EQ(data, (std::vector<std::uint8_t>{0xaa, 0xbb, 0x12, 0x13, 0x14, 0x15}));
}

TEST_F(DriverLinkTest, DecoderRegisterAnswerLandsInItsSixteenBytes) {
    std::array<std::uint8_t, 48> transfer{};
    transport.setAnswer(kAuxCommand, Answer{.out = pattern(16, 0x40)});
    const AuxResult result = link.readDecoderRegister(5, std::span(transfer).subspan<16, 16>());
    EXPECT_EQ(result.bytes, 16u);
    EXPECT_EQ(transfer[15], 0);
    EXPECT_EQ(transfer[16], 0x40);
    EXPECT_EQ(transfer[31], 0x4f);
    EXPECT_EQ(transfer[32], 0);
}

}  // namespace
}  // namespace pemblor::driver
