// Device path, open and close, the held address-mapping record and its areas.
#include "driver_link_fixture.hpp"

namespace pemblor::driver {
namespace {

using testing::Answer;
using testing::le32;

TEST(DevicePath, IsTheBaseNameAndTheDecimalNumber) {
    EXPECT_EQ(DriverLink::devicePath(0), "\\\\.\\KSVECWDM0");
    EXPECT_EQ(DriverLink::devicePath(3), "\\\\.\\KSVECWDM3");
    EXPECT_EQ(DriverLink::devicePath(31), "\\\\.\\KSVECWDM31");
}

TEST(DeviceOpen, StoresTheHandleValidOrNot) {
    testing::RecordingTransport transport;
    DriverLink link{transport};
    EXPECT_FALSE(link.context().isOpen());
    transport.addDevice(DriverLink::devicePath(1));
    const DeviceHandle one = link.openDevice(DriverLink::devicePath(1));
    ASSERT_TRUE(one.valid());
    EXPECT_EQ(link.context().device(), one);
    EXPECT_FALSE(link.openDevice(DriverLink::devicePath(2)).valid());
    EXPECT_FALSE(link.context().isOpen());
    EXPECT_EQ(transport.openedPaths(), (std::vector<std::string>{"\\\\.\\KSVECWDM1", "\\\\.\\KSVECWDM2"}));
}

TEST_F(DriverLinkTest, CloseClosesTheHandleOnceAndInvalidatesIt) {
    const DeviceHandle handle = link.context().device();
    link.closeDevice();
    EXPECT_FALSE(link.context().isOpen());
    link.closeDevice();  // nothing open: nothing to close
    EXPECT_EQ(transport.closedHandles(), std::vector<DeviceHandle>{handle});
    EXPECT_EQ(transport.openHandleCount(), 0u);
}

std::vector<std::uint8_t> mappingRecord() {
    return le32({0xa0, 0x1001, 0xa2, 0xa3, 0xa4, 0x1005, 0xa6, 0xa7,
                 0xa8, 0x1009, 0xaa, 0xab, 0xac, 0x100d, 0xae, 0xaf});
}

std::vector<std::uint8_t> held(const DriverLink& link) {
    const auto& m = link.context().mapping;
    return {m.begin(), m.end()};
}

TEST_F(DriverLinkTest, MappingRecordIsHeldAndHandedBackUnchanged) {
    EXPECT_EQ(held(link), std::vector<std::uint8_t>(64, 0));
    transport.setAnswer(kMapAddresses, Answer{.out = mappingRecord()});
    EXPECT_EQ(link.mapAddresses(), 64u);
    EXPECT_EQ(held(link), mappingRecord());
    link.unmapAddresses();
    const auto sent = transport.requestsOf(kUnmapAddresses);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].in, mappingRecord());
}

TEST_F(DriverLinkTest, RefusedOrShortMappingKeepsNoStaleWords) {
    transport.queueAnswer(kMapAddresses, Answer{.out = mappingRecord()});
    transport.queueAnswer(kMapAddresses, Answer{.out = mappingRecord(), .bytes = 8});
    transport.queueAnswer(kMapAddresses, Answer{.ok = false, .out = mappingRecord()});
    ASSERT_EQ(link.mapAddresses(), 64u);
    EXPECT_EQ(link.mapAddresses(), 8u);
    std::vector<std::uint8_t> expected(64, 0);
    std::copy_n(mappingRecord().begin(), 8, expected.begin());
    EXPECT_EQ(held(link), expected);
    EXPECT_EQ(link.mapAddresses(), 0u);
    EXPECT_EQ(held(link), std::vector<std::uint8_t>(64, 0));
}

TEST_F(DriverLinkTest, RecordAsLastFetchedOutlivesClose) {
    transport.setAnswer(kMapAddresses, Answer{.out = mappingRecord()});
    link.mapAddresses();
    link.unmapAddresses();
    link.closeDevice();
    // A later device refused before its own mapping hands back the last record fetched.
    transport.addDevice(DriverLink::devicePath(1));
    ASSERT_TRUE(link.openDevice(DriverLink::devicePath(1)).valid());
    link.unmapAddresses();
    const auto sent = transport.requestsOf(kUnmapAddresses);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[1].in, mappingRecord());
    EXPECT_EQ(sent[1].handle, link.context().device());
}

TEST_F(DriverLinkTest, MappedAreaResolvesTheHeldWordThroughTheTransport) {
    const auto stream = transport.addArea(0x1001, 4096);
    const auto preview = transport.addArea(0x1009, 4 * kPreviewSlotSize);
    transport.setAnswer(kMapAddresses, Answer{.out = mappingRecord()});
    EXPECT_TRUE(link.mappedArea(kStreamAreaWord).empty());  // nothing fetched yet
    link.mapAddresses();
    const auto area = link.mappedArea(kStreamAreaWord);
    EXPECT_EQ(area.data(), stream.data());
    EXPECT_EQ(area.size(), 4096u);
    EXPECT_EQ(link.mappedArea(kPreviewSlotsWord).size(), preview.size());
    EXPECT_TRUE(link.mappedArea(kOriginalVideoAreaWord).empty());  // token the device does not know
    EXPECT_TRUE(link.mappedArea(16).empty());
    link.closeDevice();
    EXPECT_TRUE(link.mappedArea(kStreamAreaWord).empty());
}

}  // namespace
}  // namespace pemblor::driver
