// What the console sends to the driver, and in which order, for open, close,
// refused versions, exits and shutdown.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/console.hpp"
#include "driver/request_codes.hpp"
#include "resources/console_ids.hpp"
#include "support/fake_host.hpp"
#include "support/recording_transport.hpp"

namespace pemblor::app {
namespace {

using namespace resources::console;
using ::testing::ElementsAre;
using testing::le32;

std::vector<std::uint32_t> codes(const testing::RecordingTransport& t) {
    std::vector<std::uint32_t> out;
    for (const auto& r : t.requests()) out.push_back(r.code);
    return out;
}

struct ConsoleFixture : ::testing::Test {
    testing::RecordingTransport transport;
    testing::FakeHost host;
    driver::DriverLink link{transport};
    Console console{host, link};
    ui::Dialog& dlg = console.dialog();

    void SetUp() override {
        transport.addDevice("\\\\.\\KSVECWDM0");
        transport.addDevice("\\\\.\\KSVECWDM10");
        transport.setAnswer(driver::kDriverVersion, {.out = le32({0x01070605, 0})});
        transport.setAnswer(driver::kSlotInfo, {.out = le32({0, 0, 0, 9})});
        std::vector<std::uint8_t> mapping(64);
        for (std::size_t i = 0; i < mapping.size(); ++i) mapping[i] = static_cast<std::uint8_t>(i + 1);
        transport.setAnswer(driver::kMapAddresses, {.out = mapping});
    }
};

TEST_F(ConsoleFixture, OpenSendsIdentityThenMappingAndStartsTheTimer) {
    dlg.select(kDevice, 10);  // an unsorted list: item 10 is device 10
    dlg.click(kOpenDev);
    EXPECT_EQ(transport.openedPaths(), std::vector<std::string>{"\\\\.\\KSVECWDM10"});
    EXPECT_THAT(codes(transport), ElementsAre(driver::kDriverVersion, driver::kHardwareInfo, driver::kSlotInfo,
                                              driver::kMapAddresses));
    EXPECT_EQ(host.timers.at(kStatusTimer), 1000);
    EXPECT_EQ(dlg.item(kOutputList, 0), "Open Dev KSVECWDM10 OK !!! Slot ID:9");
    EXPECT_TRUE(host.messages.empty());
}

TEST_F(ConsoleFixture, CloseStopsTimerHandsTheMappingBackAndClosesTheHandle) {
    dlg.click(kOpenDev);
    transport.clearRecords();
    dlg.click(kCloseDev);
    ASSERT_THAT(codes(transport), ElementsAre(driver::kUnmapAddresses));
    std::vector<std::uint8_t> mapping(64);
    for (std::size_t i = 0; i < mapping.size(); ++i) mapping[i] = static_cast<std::uint8_t>(i + 1);
    EXPECT_EQ(transport.requests()[0].in, mapping);  // as received
    EXPECT_EQ(transport.closedHandles().size(), 1u);
    EXPECT_FALSE(host.timers.contains(kStatusTimer));
    EXPECT_FALSE(link.context().isOpen());
    EXPECT_TRUE(dlg.enabled(kOpenDev));
    EXPECT_FALSE(dlg.enabled(kCloseDev));
}

TEST_F(ConsoleFixture, RefusedVersionRunsTheWholeCloseSequenceWithTheRecordAsHeld) {
    transport.setAnswer(driver::kDriverVersion, {.out = le32({0x01070604, 0})});
    dlg.click(kOpenDev);
    // No mapping fetched since start: the record handed back is all zeros.
    EXPECT_THAT(codes(transport), ElementsAre(driver::kDriverVersion, driver::kHardwareInfo, driver::kSlotInfo,
                                              driver::kUnmapAddresses));
    EXPECT_EQ(transport.requestsOf(driver::kUnmapAddresses)[0].in, std::vector<std::uint8_t>(64, 0));
    EXPECT_EQ(transport.openHandleCount(), 0u);
    EXPECT_THAT(host.messages,
                ElementsAre("Driver is too old, please use the driver newer than version 0x01070605!"));
    EXPECT_FALSE(host.timers.contains(kStatusTimer));
}

TEST_F(ConsoleFixture, DumpAsksForSixtyFourWordsOfTheSelectedCategory) {
    dlg.click(kOpenDev);
    dlg.select(kCategory, 12);
    dlg.click(kDevInf);
    const auto info = transport.requestsOf(driver::kDeviceInfo);
    ASSERT_EQ(info.size(), 1u);
    EXPECT_EQ(info[0].in, le32({12, 0}));
    EXPECT_EQ(info[0].outSize, 256u);
    EXPECT_EQ(dlg.item(kOutputList, 0), "DevInf: C SDK Message Packet=c Length=256 RCount=0");
}

TEST_F(ConsoleFixture, ExitClosesAndEndsEscOnlyEndsButShutdownStillClosesTheCard) {
    dlg.click(kOpenDev);
    dlg.cancel();
    EXPECT_EQ(dlg.result(), ui::kIdCancel);
    EXPECT_TRUE(link.context().isOpen());  // Esc does not run the close sequence
    console.shutdown();
    EXPECT_FALSE(link.context().isOpen());
    EXPECT_EQ(transport.count(driver::kUnmapAddresses), 1u);
    EXPECT_EQ(dlg.itemCount(kOutputList), 1u);  // no close line: the window is gone
    console.shutdown();                         // once only
    EXPECT_EQ(transport.count(driver::kUnmapAddresses), 1u);
}

TEST_F(ConsoleFixture, ExitButtonRunsTheCloseSequenceThenAccepts) {
    dlg.click(kOpenDev);
    dlg.click(kExit);
    EXPECT_EQ(dlg.result(), ui::kIdOk);
    EXPECT_EQ(dlg.item(kOutputList, 1), "Close device finished OK !!!");
    EXPECT_FALSE(link.context().isOpen());
}

TEST_F(ConsoleFixture, ClearEmptiesTheListAndEnterPressesIt) {
    dlg.click(kOpenDev);
    ASSERT_EQ(dlg.itemCount(kOutputList), 1u);
    dlg.pressEnter();
    EXPECT_EQ(dlg.itemCount(kOutputList), 0u);
}

TEST_F(ConsoleFixture, AboutIsModalDialogHundred) {
    console.showAbout();
    EXPECT_THAT(host.modalIds, ElementsAre(100));
}

}  // namespace
}  // namespace pemblor::app
