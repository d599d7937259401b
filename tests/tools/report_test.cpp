// The diagnostic report and the log file, driven as an operator drives the
// console: the all-devices and the one-device report, saves, the e-mail label.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <regex>
#include <system_error>

#include "app/console.hpp"
#include "capture/recording_header.hpp"
#include "driver/request_codes.hpp"
#include "support/temp_dir.hpp"
#include "resources/console_ids.hpp"
#include "sim/card/sim_transport.hpp"
#include "support/console_script.hpp"
#include "support/fake_host.hpp"
#include "tools/report.hpp"

namespace pemblor::tools {
namespace {

using pemblor::testing::TempDir;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::StartsWith;
using testing::runConsoleScript;

const std::vector<std::string> kCategories = resources::console::kCategoryItems;

std::string readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The output-list lines of a run since its last CLEAR, without the prefix.
std::vector<std::string> listAfterLastClear(const std::vector<std::string>& out) {
    std::vector<std::string> lines;
    for (const std::string& e : out) {
        if (e == "CLEAR") lines.clear();
        if (e.rfind("LINE ", 0) == 0) lines.push_back(e.substr(5));
    }
    return lines;
}

std::string crlfJoined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += l + "\r\n";
    return s;
}

std::vector<std::uint32_t> everyRequestCode() {
    using namespace driver;
    return {kReadWords,    kWriteWords,    kReadBytes,        kWriteBytes,     kDeviceInfo,   kAuxCommand,
            kDriverVersion, kHardwareInfo, kSlotInfo,         kMapAddresses,   kUnmapAddresses, kRegisterEvent,
            kFetchNotifications, kDspState, kDspReset,         kDspInterrupt,   kDspLoadBlock, kSetDspTime,
            kSetDmaVaddr,  kSetDmaOaddr,   kChannelSwitch,    kSubChannelSwitch, kChannelStatus, kChannelStatusAck};
}

TEST(Report, AllDevicesWalksEveryCardThatOpensAndSavesTheList) {
    TempDir root;
    sim::SimSettings s = sim::SimSettings::withCards({0, 3});
    std::vector<std::uint8_t> twenty(20);
    for (std::size_t i = 0; i < twenty.size(); ++i) twenty[i] = static_cast<std::uint8_t>(0xA0 + i);
    s.cards[3].info[4] = twenty;
    // Dev0 is open and watched when the report starts: it is closed first.
    const auto run = runConsoleScript("click \"1 OpenDev\"\nclick \"4 Show all inf and save file\"\nstate 1000\n", s,
                                      root.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string>& out = run.out;
    const auto clear = std::find(out.begin() + 2, out.end(), "CLEAR");
    ASSERT_NE(clear, out.end());
    EXPECT_EQ(*(clear - 1), "LINE Close device finished OK !!!");

    const std::vector<std::string> list = listAfterLastClear(out);
    // Per card: open line, four report lines, 15 headers with their rows, the
    // category 9 line, the close line.
    std::vector<std::string> headers;
    for (const std::string& l : list) {
        if (l.rfind("DevInf: ", 0) == 0) headers.push_back(l);
    }
    ASSERT_EQ(headers.size(), 30u);
    EXPECT_EQ(headers[10], "DevInf: A Encoded Video Data HD=a Length=256 RCount=256");
    EXPECT_EQ(headers[15 + 4], "DevInf: 4 Bus Slot Inf=4 Length=256 RCount=20");
    const auto cat4 = std::find(list.begin(), list.end(), headers[15 + 4]);
    ASSERT_LT(cat4 + 3, list.end());
    EXPECT_EQ(*(cat4 + 1), "0x0000 A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB AC AD AE AF ");
    EXPECT_EQ(*(cat4 + 2), "0x0010 B0 B1 B2 B3 ");
    EXPECT_EQ(*(cat4 + 3), "DevInf: 5 Encoded Video DMA Inf=5 Length=256 RCount=256");

    const std::regex devLine(R"(Dev ID: Dev(\d+) Current Time: \d{4}\.\d{1,2}\.\d{1,2} \d{1,2}:\d{1,2}:\d{1,2})");
    std::vector<std::string> devices;
    for (std::size_t i = 0; i < list.size(); ++i) {
        std::smatch m;
        if (!std::regex_match(list[i], m, devLine)) continue;
        devices.push_back(m[1]);
        ASSERT_LT(i + 3, list.size());
        EXPECT_THAT(list[i - 1], StartsWith("Open Dev KSVECWDM" + m[1].str() + " OK !!! Slot ID:"));
        EXPECT_EQ(list[i + 1], "Version information: W01070605 H00020801 D20260101");
        // Read from this card now, not left over from another card or "Static".
        EXPECT_THAT(list[i + 2], ::testing::MatchesRegex("NormalC: T:[0-9A-F]{4} I:[0-9A-F]{4} S:[0-9A-F]{4} M:[0-9A-F]{4}"));
        EXPECT_THAT(list[i + 3], ::testing::MatchesRegex("ErrorC: T:-?[0-9]+ D:-?[0-9]+ S:-?[0-9]+ V:-?[0-9]+"));
        EXPECT_EQ(list[i + 4], "DevInf: 0 Genneral Inf=0 Length=256 RCount=256");
    }
    EXPECT_THAT(devices, ElementsAre("0", "3"));
    EXPECT_EQ(std::count(list.begin(), list.end(), "Close device finished OK !!!"), 2);
    EXPECT_EQ(list.back(), "Close device finished OK !!!");

    const std::filesystem::path log = root / "Pemblor.LOG";
    EXPECT_THAT(out, Contains("MSG Please send file " + log.string() + " to Email: " +
                              std::string(kDefaultSupportEmail)));
    EXPECT_EQ(readFile(log), crlfJoined(list));
    // No device is left open.
    EXPECT_THAT(out, Contains("STATE 1000 enabled=1 visible=1 checked=0 selection=-1 items=0"));
}

TEST(Report, ACardThatRefusesEverythingIsReportedAllTheSame) {
    TempDir root;
    sim::SimSettings s = sim::SimSettings::withCards({1});
    for (std::uint32_t code : everyRequestCode()) s.cards[1].faults.failingCodes.insert(code);
    const auto run = runConsoleScript("click 1062\n", s, root.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> want{"OPEN 102", "CLEAR",
                                  "MSG Driver is too old, please use the driver newer than version 0x01070605!",
                                  "LINE Close device finished OK !!!"};
    // The time varies; the rest is fixed.
    ASSERT_GT(run.out.size(), want.size());
    EXPECT_THAT(run.out[4], StartsWith("LINE Dev ID: Dev1 Current Time: "));
    want.push_back(run.out[4]);
    want.push_back("LINE Version information: W00000000 H00000000 D00000000");
    want.push_back("LINE NormalC: T:0000 I:0000 S:0000 M:0000");
    want.push_back("LINE ErrorC: T:0 D:0 S:0 V:0");
    for (std::size_t c = 0; c < kCategories.size(); ++c) {
        char tail[64];
        std::snprintf(tail, sizeof tail, "=%zx Length=256 RCount=0", c);
        want.push_back("LINE DevInf: " + kCategories[c] + tail);
        if (c == 9) want.push_back("LINE ");  // the template of an empty buffer
    }
    const std::filesystem::path log = root / "Pemblor.LOG";
    want.push_back("MSG Please send file " + log.string() + " to Email: " + std::string(kDefaultSupportEmail));
    want.push_back("CLOSE 102 2");
    EXPECT_THAT(run.out, ElementsAreArray(want));
}

TEST(Report, OneDeviceReportNamesTheSelectedItemAndSavesAppendInGbk) {
    TempDir root;
    sim::SimSettings s = sim::SimSettings::withCards({0});
    // The card's debug template in the console's own text: written to the log in GBK.
    const std::string tmpl = "\xE7\x8A\xB6\xE6\x80\x81 %d";  // "状态 %d"
    std::vector<std::uint8_t> nine(64, 0);
    nine[4] = 7;
    std::copy(tmpl.begin(), tmpl.end(), nine.begin() + 16);
    s.cards[0].info[9] = nine;
    const auto run = runConsoleScript(
        "click 1062\n"                      // AllDev clear below; ticked here: no card opens but 0
        "click \"AllDev\"\nstate 1073\n"
        "click 1062\n"                      // now no device is open
        "click \"1 OpenDev\"\nselect 1027 \"Dev5\"\nwait 1100\n"
        "click 1062\nclick \"14 Save\"\n",
        s, root.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, Contains("STATE 1073 enabled=1 visible=1 checked=0 selection=-1 items=0"));
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), "MSG Device is not open, failed!"), 1);
    const std::vector<std::string> list = listAfterLastClear(run.out);
    ASSERT_GE(list.size(), 4u);
    EXPECT_THAT(list[0], StartsWith("Dev ID: Dev5 Current Time: "));
    // The status lines of the tick that ran.
    EXPECT_THAT(list[2], ::testing::MatchesRegex("NormalC: T:[0-9A-F]{4} I:.*"));
    EXPECT_THAT(list, Contains("\xE7\x8A\xB6\xE6\x80\x81 7"));
    // One device: no closing message.
    EXPECT_EQ(std::count_if(run.out.begin(), run.out.end(),
                            [](const std::string& e) { return e.rfind("MSG Please send", 0) == 0; }),
              1);  // only the first, all-devices click

    // The log: the first report, then this one twice (the report's save and
    // "14 Save"), in GBK with CR LF.
    const std::string log = readFile(root / "Pemblor.LOG");
    const std::string once = crlfJoined(list);
    std::string gbkOnce = once;
    const std::string utf8Word = "\xE7\x8A\xB6\xE6\x80\x81";
    gbkOnce.replace(gbkOnce.find(utf8Word), utf8Word.size(), "\xD7\xB4\xCC\xAC");
    ASSERT_GE(log.size(), 2 * gbkOnce.size());
    EXPECT_EQ(log.substr(log.size() - 2 * gbkOnce.size()), gbkOnce + gbkOnce);
    EXPECT_EQ(log.find(utf8Word), std::string::npos);
    for (std::size_t i = 0; i < log.size(); ++i) {
        if (log[i] == '\n') {
            ASSERT_TRUE(i > 0 && log[i - 1] == '\r') << "bare LF at " << i;
        }
    }
}

TEST(Report, NoCardEmptyListAndFailingLogFile) {
    TempDir root;
    app::ConsoleOptions options;
    options.supportEmail = "desk@example.org";
    const auto none = runConsoleScript("print 1066\nclick 1066\nprint 1066\nclick 1062\nprint list\n",
                                       sim::SimSettings::withCards({}), root.path(), options);
    const std::filesystem::path log = root / "Pemblor.LOG";
    EXPECT_THAT(none.out, ElementsAre("OPEN 102", "TEXT 1066 Email:", "TEXT 1066 Email: desk@example.org", "CLEAR",
                                      "MSG Please send file " + log.string() + " to Email: desk@example.org",
                                      "CLOSE 102 2"));
    EXPECT_EQ(readFile(log), "");

    // A log file that cannot be opened: its path and the message, nothing between.
    std::filesystem::remove(log);
    std::filesystem::create_directory(log);
    const auto failing = runConsoleScript("click \"13 Clear\"\nclick \"14 Save\"\n", sim::SimSettings::withCards({}),
                                          root.path());
    EXPECT_THAT(failing.out, ElementsAre("OPEN 102", "CLEAR", "MSG " + log.string() + "Open file failed!",
                                         "CLOSE 102 2"));
}

TEST(Report, ALogFileThatCannotBeWrittenSaysSo) {
    // A full disk: every write to the log fails. The save must not pass for done.
    TempDir root;
    const std::filesystem::path log = root / "Pemblor.LOG";
    std::filesystem::create_symlink("/dev/full", log);
    const std::string failed = "MSG " + log.string() + "Write file failed! " + std::system_category().message(ENOSPC);
    // A short list (buffered until the close) and a whole report (failing while written).
    const auto run = runConsoleScript("click \"1 OpenDev\"\nclick \"14 Save\"\nclick 1062\n",
                                      sim::SimSettings::withCards({0}), root.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<std::string> messages;
    std::copy_if(run.out.begin(), run.out.end(), std::back_inserter(messages),
                 [](const std::string& e) { return e.rfind("MSG ", 0) == 0; });
    EXPECT_THAT(messages, ElementsAre(failed, failed,
                                      "MSG Please send file " + log.string() + " to Email: " +
                                          std::string(kDefaultSupportEmail)));
}

TEST(Report, DevIdLineCarriesTheLocalTimeUnpadded) {
    TempDir root;
    testing::FakeHost rooted(root.path());
    rooted.clock = {2008, 6, 18, 9, 14, 24, 0, 3};
    sim::SimTransport transport(sim::SimSettings::withCards({0}));
    driver::DriverLink link(transport);
    app::Console console(rooted, link);
    ui::Dialog& d = console.dialog();
    d.click(resources::console::kOpenDev);
    d.click(resources::console::kAllDev);
    d.click(resources::console::kShowAllInf);
    ASSERT_GE(d.itemCount(resources::console::kOutputList), 1u);
    EXPECT_EQ(d.item(resources::console::kOutputList, 0), "Dev ID: Dev0 Current Time: 2008.6.18 9:14:24");
    EXPECT_TRUE(rooted.messages.empty());
}

TEST(Report, AllDevicesEndsARunningReceptionAndFinishesItsFilesFirst) {
    TempDir root;
    const auto run = runConsoleScript(
        "click \"1 OpenDev\"\nclick \"SaveFile\"\nclick \"RecvData\"\nwait 120\n"
        "click \"4 Show all inf and save file\"\nstate 1035\nstate 1002\n",
        sim::SimSettings::withCards({0}), root.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.out, Contains("STATE 1035 enabled=1 visible=1 checked=0 selection=-1 items=0"));
    EXPECT_THAT(run.out, Contains("STATE 1002 enabled=0 visible=1 checked=0 selection=-1 items=0"));
    for (int slot = 0; slot < 8; ++slot) {
        const std::string bytes = readFile(root / ("EVDATA000" + std::to_string(slot) + ".264"));
        const auto header = capture::RecordingHeader::parse(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
        ASSERT_TRUE(header) << slot;
        EXPECT_TRUE(header->finished()) << slot;
    }
    // The report of the card follows the close of its reception.
    const auto close = std::find(run.out.begin(), run.out.end(), "LINE Close device finished OK !!!");
    ASSERT_NE(close, run.out.end());
    EXPECT_EQ(*(close + 1), "CLEAR");
    EXPECT_THAT(*(close + 2), StartsWith("LINE Open Dev KSVECWDM0 OK !!!"));
}

}  // namespace
}  // namespace pemblor::tools
