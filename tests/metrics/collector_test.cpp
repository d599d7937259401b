// What a scrape answers: every family with its labels and values as
// reception's counters and the cards' polls hold them, a card that does not
// answer shown down, a console without a card showing none.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "driver/card_health.hpp"
#include "metrics/collector.hpp"
#include "sim/card/sim_transport.hpp"
#include "support/temp_dir.hpp"

namespace pemblor::metrics {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(Collector, AScrapeShowsEachCardsCountersAndHealthAndTheProcess) {
    sim::SimSettings settings = sim::SimSettings::withCards({0, 1});
    settings.cards[0].dspMode = sim::DspMode::Running;
    settings.cards[1].faults.vanishAfterMs = 0;
    sim::SimTransport cards(std::move(settings));
    driver::DriverLink link0(cards);
    driver::DriverLink link1(cards);
    ASSERT_TRUE(link0.openDevice(driver::DriverLink::devicePath(0)).valid());
    EXPECT_FALSE(link1.openDevice(driver::DriverLink::devicePath(1)).valid());

    driver::CardHealth running, vanished, noCard;
    running.setIdentity(0, driver::CardIdentity::read(link0));
    running.poll(link0);
    driver::CardIdentity gone;
    gone.serial = "GONE\x01";
    gone.slot = 4;
    gone.version = 0x01070605;
    vanished.setIdentity(1, gone);
    vanished.poll(link1);

    common::ReceiveStats stats0, stats1, stats2;
    common::StreamSlot& sub2 = stats0.slotTable[5];  // channel 2's sub-stream
    common::set(sub2.pictureCount, 125);
    common::add(sub2.bytesReceived, 5'000'000'000);  // past 32 bits
    common::set(sub2.picturesLastSecond, 25);
    common::set(sub2.bitRate, 262144);
    common::set(sub2.decodeErrors, 2);
    common::set(stats0.receiving, 1);
    common::set(stats0.counters.cutBlocks, 3);
    common::set(stats0.counters.debugLines, 40);
    common::add(stats0.files.bytes[common::kVideoFile], 7'000'000'000);
    common::set(stats0.files.errors, 1);

    testing::TempDir root;
    Collector collector({root.path(), "2.8.1"});
    collector.addCard({&stats0, &running});
    collector.addCard({&stats1, &vanished});
    collector.addCard({&stats2, &noCard});
    const std::string text = exposition(collector.Collect());

    const std::string dev0 = R"(device="0",serial="SIM2026-0000",slot="3")";
    const std::string dev1 = R"(device="1",serial="GONE?",slot="4")";
    for (const std::string& line : std::vector<std::string>{
             "# TYPE pemblor_stream_received_bytes_total counter",
             "# TYPE pemblor_stream_received_bytes_per_second gauge",
             "pemblor_card_info{" + dev0 + R"(,driver_version="1.7.6.5"} 1)",
             "pemblor_card_up{" + dev0 + "} 1",
             "pemblor_dsp_state{" + dev0 + "} 21",
             "pemblor_dsp_running{" + dev0 + "} 1",
             "pemblor_reception_active{" + dev0 + "} 1",
             "pemblor_stream_pictures_received_total{" + dev0 + R"(,channel="2",stream="sub"} 125)",
             "pemblor_stream_received_bytes_total{" + dev0 + R"(,channel="2",stream="sub"} 5000000000)",
             "pemblor_stream_pictures_per_second{" + dev0 + R"(,channel="2",stream="sub"} 25)",
             "pemblor_stream_received_bytes_per_second{" + dev0 + R"(,channel="2",stream="sub"} 32768)",
             "pemblor_stream_decode_errors_total{" + dev0 + R"(,channel="2",stream="sub"} 2)",
             "pemblor_stream_received_bytes_total{" + dev0 + R"(,channel="1",stream="main"} 0)",
             "pemblor_console_dropped_blocks_total{" + dev0 + "} 3",
             "pemblor_debug_lines_total{" + dev0 + "} 40",
             "pemblor_written_bytes_total{" + dev0 + R"(,kind="video"} 7000000000)",
             "pemblor_written_bytes_total{" + dev0 + R"(,kind="stream"} 0)",
             "pemblor_write_errors_total{" + dev0 + "} 1",
             "pemblor_card_up{" + dev1 + "} 0",
             "pemblor_dsp_running{" + dev1 + "} 0",
             "pemblor_reception_active{" + dev1 + "} 0",
             R"(pemblor_build_info{version="2.8.1"} 1)",
             "# TYPE pemblor_data_root_free_bytes gauge",
         }) {
        EXPECT_THAT(text, HasSubstr(line + "\n")) << line;
    }
    EXPECT_THAT(text, HasSubstr("pemblor_card_dropped_records_total{" + dev0 + "} 0\n"));
    EXPECT_THAT(text, Not(HasSubstr("device=\"-1\"")));
    EXPECT_THAT(text, Not(HasSubstr("device=\"2\"")));
    EXPECT_THAT(text, HasSubstr("pemblor_start_time_seconds "));

    // A console whose card closed shows no card.
    running.clearIdentity();
    EXPECT_FALSE(running.up());
    EXPECT_THAT(exposition(collector.Collect()), Not(HasSubstr(dev0)));
}

}  // namespace
}  // namespace pemblor::metrics
