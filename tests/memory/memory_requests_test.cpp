// What Read, Write, the sends, Debug and the memory test put on the wire: the
// request, its record and output area per address type, the limits, the
// order of the sends, and the 836 requests of a memory test.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

#include "app/console.hpp"
#include "driver/request_codes.hpp"
#include "resources/console_ids.hpp"
#include "support/fake_host.hpp"
#include "support/recording_transport.hpp"

namespace pemblor::memory {
namespace {

using namespace resources::console;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using testing::le32;
using Bytes = std::vector<std::uint8_t>;

Bytes concat(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct MemoryFixture : ::testing::Test {
    testing::RecordingTransport transport;
    testing::FakeHost host;
    driver::DriverLink link{transport};
    app::Console console{host, link};
    ui::Dialog& dlg = console.dialog();

    void SetUp() override {
        transport.addDevice("\\\\.\\KSVECWDM0");
        transport.setAnswer(driver::kDriverVersion, {.out = le32({0x01070605, 0})});
        dlg.click(kOpenDev);
        host.onModal = [](ui::Dialog& key) {
            key.userSetText(1064, "61740253");
            key.click(ui::kIdOk);
        };
        ASSERT_TRUE(dlg.click(kSuperiorOp));
        dlg.clearItems(kOutputList);
        transport.clearRecords();
        host.messages.clear();
    }

    void setUp(int type, const char* address, const char* length, const char* data = "") {
        dlg.select(kAddressType, type);
        dlg.userSetText(kAddress, address);
        dlg.userSetText(kLength, length);
        dlg.userSetText(kDataToWrite, data);
    }

    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < dlg.itemCount(kOutputList); ++i) out.emplace_back(dlg.item(kOutputList, i));
        return out;
    }
};

TEST_F(MemoryFixture, AddressAndLengthPresetsShowSorted) {
    const auto items = [&](int id) {
        std::vector<std::string> v;
        for (std::size_t i = 0; i < dlg.itemCount(id); ++i) v.emplace_back(dlg.item(id, i));
        return v;
    };
    EXPECT_THAT(items(kAddress), ElementsAre("0x00000000", "0x00000400", "0x00400000 RSTSRC", "0x00400008 PCIIS",
                                             "0x00400010 DSPMA", "0x00400014 PCIMA", "0x00400018 PCIMC",
                                             "0x0041FFF0 HSR", "0x0041FFF4 HDCR", "0x0041FFF8 DSPP"));
    EXPECT_THAT(items(kLength), ElementsAre("0x04", "0x200", "0x80", "20", "36"));
    // Choosing a preset puts its text in the combo box, and Read takes it.
    dlg.select(kAddress, 8);
    dlg.select(kLength, 0);
    dlg.click(kRead);
    EXPECT_EQ(transport.requests().at(0).in, le32({1, 0x41FFF4, 1}));
}

// Answers every read with bytes that count up from a start that names the request.
std::optional<testing::Answer> countingAnswers(const testing::RecordedRequest& r) {
    if (r.code != driver::kReadWords && r.code != driver::kAuxCommand) return std::nullopt;
    Bytes out(r.outSize);
    const auto start = static_cast<std::uint8_t>(r.code == driver::kReadWords ? 0x40 : r.word(0) * 16 + r.word(2));
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(start + i);
    return testing::Answer{.out = out};
}

TEST_F(MemoryFixture, ReadSendsEachAddressTypesRequestWithItsLimits) {
    transport.setHandler(countingAnswers);
    const struct {
        int type;
        const char* address;
        const char* length;
        std::uint32_t code;
        Bytes record;
        std::size_t outSize;
        const char* header;
    } kCases[] = {
        {1, "0x0041FFF0 HSR", "20", driver::kReadWords, le32({1, 0x41FFF0, 5}), 20,
         "Read:  Bar=1 Addr=0x0041FFF0 ,Length=20 RCount=20"},
        {0, "0x900000", "0x1000", driver::kReadWords, le32({0, 0x800000, 128}), 512,
         "Read:  Bar=0 Addr=0x00800000 ,Length=512 RCount=512"},
        {2, "0x10", "7", driver::kReadWords, le32({2, 0x10, 1}), 4, "Read:  Bar=2 Addr=0x00000010 ,Length=7 RCount=4"},
        {3, "0x900000", "0x10", driver::kAuxCommand, le32({13, 0x800000}), 16,
         "Read:  Bar=3 Addr=0x00800000 ,Length=16 RCount=16"},
        // The DSP address field and physical memory keep their address.
        {4, "0x900000", "0x10", driver::kAuxCommand, le32({10, 0x900000}), 16,
         "Read:  Bar=4 Addr=0x00900000 ,Length=16 RCount=16"},
        {6, "0x12345678", "3", driver::kAuxCommand, le32({9, 0x12345678}), 3,
         "Read:  Bar=6 Addr=0x12345678 ,Length=3 RCount=3"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.header);
        setUp(c.type, c.address, c.length);
        transport.clearRecords();
        dlg.clearItems(kOutputList);
        dlg.click(kRead);
        const auto sent = transport.requests();
        ASSERT_EQ(sent.size(), 1u);
        EXPECT_EQ(sent[0].code, c.code);
        EXPECT_EQ(sent[0].in, c.record);
        EXPECT_EQ(sent[0].outSize, c.outSize);
        const auto out = lines();
        ASSERT_FALSE(out.empty());
        EXPECT_EQ(out[0], c.header);
        EXPECT_EQ(out.size(), 1 + (c.outSize + 15) / 16);
        // The last line is scrolled to the top.
        EXPECT_EQ(dlg.topIndex(kOutputList), static_cast<int>(out.size()) - 1);
    }
    // Too short for a word: an empty request, the header alone.
    setUp(0, "0", "3");
    transport.clearRecords();
    dlg.clearItems(kOutputList);
    dlg.click(kRead);
    ASSERT_EQ(transport.count(), 1u);
    EXPECT_EQ(transport.requests()[0].in, le32({0, 0, 0}));
    EXPECT_THAT(lines(), ElementsAre("Read:  Bar=0 Addr=0x00000000 ,Length=3 RCount=0"));
}

TEST_F(MemoryFixture, RegisterReadSendsOneRequestPerRegisterAndClearsStaleBytes) {
    transport.setHandler(countingAnswers);
    // 128 registers fill all 2048 bytes of the transfer buffer.
    setUp(5, "0", "0x200");
    dlg.click(kRead);
    ASSERT_EQ(transport.count(), 128u);
    EXPECT_EQ(lines().size(), 1u + 128u);

    dlg.clearItems(kOutputList);
    transport.clearRecords();
    setUp(5, "0x10", "0x10");
    dlg.click(kRead);
    const auto sent = transport.requests();
    ASSERT_EQ(sent.size(), 4u);
    for (std::uint32_t i = 0; i < 4; ++i) {
        EXPECT_EQ(sent[i].in, le32({3, 0, 0x10 + i}));
        EXPECT_EQ(sent[i].outSize, 16u);
    }
    EXPECT_THAT(lines(), ElementsAre("Read:  Bar=5 Addr=0x00000010 ,Length=16 RCount=64",
                                     "0x0000 40 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F ",
                                     "0x0010 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 ",
                                     "0x0020 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 51 ",
                                     "0x0030 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 51 52 "));

    // Length 6: one register, 24 bytes shown; the 8 no request filled are
    // zeros, not what the 128-register read left there.
    dlg.clearItems(kOutputList);
    setUp(5, "0", "6");
    dlg.click(kRead);
    EXPECT_THAT(lines(), ElementsAre("Read:  Bar=5 Addr=0x00000000 ,Length=6 RCount=24",
                                     "0x0000 30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F ",
                                     "0x0010 00 00 00 00 00 00 00 00 "));
}

TEST_F(MemoryFixture, WriteSendsTheTypedLengthWithZerosAndLimitsEveryAddress) {
    // Sub-code 14 hands the data over in the output area; the driver writes back.
    transport.setHandler([](const testing::RecordedRequest& r) -> std::optional<testing::Answer> {
        if (r.code == driver::kAuxCommand && r.word(0) == 14) return testing::Answer{.out = {0xEE}, .bytes = 5};
        return std::nullopt;
    });
    const Bytes data5{1, 2, 3, 0, 0};
    const struct {
        int type;
        const char* address;
        const char* length;
        std::uint32_t code;  // 0: nothing is sent
        Bytes record;
        Bytes outBefore;
        const char* header;
        const char* dump;
    } kCases[] = {
        {1, "0x10", "5", driver::kWriteBytes, concat(le32({1, 0x10, 5}), data5), {},
         "Write: Bar=1 Addr=0x00000010 ,Length=5 RCount=0", "0x0000 01 02 03 00 00 "},
        {0, "0x900000", "5", driver::kWriteBytes, concat(le32({0, 0x800000, 5}), data5), {},
         "Write: Bar=0 Addr=0x00800000 ,Length=5 RCount=0", "0x0000 01 02 03 00 00 "},
        // The IO window always takes four bytes.
        {2, "8", "0x80", driver::kWriteBytes, concat(le32({2, 8, 4}), {1, 2, 3, 0}), {},
         "Write: Bar=2 Addr=0x00000008 ,Length=4 RCount=0", "0x0000 01 02 03 00 "},
        {3, "0x900000", "5", driver::kAuxCommand, le32({14, 0x800000}), data5,
         "Write: Bar=3 Addr=0x00800000 ,Length=5 RCount=5", "0x0000 EE 02 03 00 00 "},
        {4, "0x900000", "5", 0, {}, {}, "Write: Bar=4 Addr=0x00800000 ,Length=5 RCount=0", "0x0000 01 02 03 00 00 "},
        // One register, its value the first four bytes, lowest first.
        {5, "0x21", "0x10", driver::kAuxCommand, le32({4, 0, 0x21, 0x00030201}), {},
         "Write: Bar=5 Addr=0x00000021 ,Length=16 RCount=0", "0x0000 01 02 03 00 00 00 00 00 00 00 00 00 00 00 00 00 "},
        {6, "1", "0x1000", 0, {}, {}, "Write: Bar=6 Addr=0x00000001 ,Length=512 RCount=0", nullptr},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.header);
        setUp(c.type, c.address, c.length, "01 02 03");
        transport.clearRecords();
        dlg.clearItems(kOutputList);
        dlg.click(kWrite);
        const auto sent = transport.requests();
        ASSERT_EQ(sent.size(), c.code ? 1u : 0u);
        if (c.code) {
            EXPECT_EQ(sent[0].code, c.code);
            EXPECT_EQ(sent[0].in, c.record);
            EXPECT_EQ(sent[0].outBefore, c.outBefore);
        }
        const auto out = lines();
        ASSERT_GE(out.size(), 2u);
        EXPECT_EQ(out[0], c.header);
        if (c.dump) {
            EXPECT_EQ(out[1], c.dump);
        }
        EXPECT_EQ(dlg.topIndex(kOutputList), 0);  // Write does not scroll
    }
    EXPECT_EQ(lines().size(), 1u + 32u);  // 512 bytes of the last case, zeros after the data
}

std::vector<std::pair<std::uint32_t, Bytes>> writes(const testing::RecordingTransport& t) {
    std::vector<std::pair<std::uint32_t, Bytes>> out;
    for (const auto& r : t.requests()) out.emplace_back(r.code, r.in);
    return out;
}

TEST_F(MemoryFixture, SendsWritePageMessageCountAndDoorbellInOrder) {
    const Bytes eight{1, 2, 3, 4, 5, 6, 7, 8};
    dlg.userSetText(kDataToWrite, "01 02 03 04 05 06 07 08");
    dlg.click(kSendToDsp);
    EXPECT_THAT(writes(transport), ElementsAre(std::pair{driver::kWriteBytes, concat(le32({1, 0x41FFF8, 4}), le32({0x200}))},
                                               std::pair{driver::kWriteBytes, concat(le32({0, 0x20, 8}), eight)},
                                               std::pair{driver::kWriteBytes, concat(le32({0, 0, 4}), le32({8}))},
                                               std::pair{driver::kWriteBytes, concat(le32({1, 0x41FFF4, 4}), le32({2}))}));
    EXPECT_THAT(lines(), ElementsAre("Write: Bar=0 Addr=0x00000020 ,Length=8 RCount=0", "0x0000 01 02 03 04 05 06 07 08 "));

    transport.clearRecords();
    dlg.clearItems(kOutputList);
    dlg.click(kSendToPci);
    EXPECT_THAT(writes(transport), ElementsAre(std::pair{driver::kWriteBytes, concat(le32({1, 0x41FFF8, 4}), le32({0x200}))},
                                               std::pair{driver::kWriteBytes, concat(le32({0, 0xA020, 8}), eight)},
                                               std::pair{driver::kWriteBytes, concat(le32({0, 0xA000, 4}), le32({8}))},
                                               std::pair{driver::kWriteBytes, concat(le32({1, 0x400000, 4}), le32({8}))}));
    EXPECT_EQ(lines()[0], "Write: Bar=0 Addr=0x0000A020 ,Length=8 RCount=0");

    // Nothing typed: a message of no bytes, a count of 0, the doorbell all the same.
    transport.clearRecords();
    dlg.clearItems(kOutputList);
    dlg.userSetText(kDataToWrite, "");
    dlg.click(kSendToDsp);
    const auto sent = writes(transport);
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_EQ(sent[1].second, le32({0, 0x20, 0}));
    EXPECT_EQ(sent[2].second, concat(le32({0, 0, 4}), le32({0})));
    EXPECT_THAT(lines(), ElementsAre("Write: Bar=0 Addr=0x00000020 ,Length=0 RCount=0"));

    // More than 512 typed: 512 sent and counted.
    std::string many;
    for (int i = 0; i < 64; ++i) many += "00 11 22 33 44 55 66 77 88 99 AA\r\n";
    dlg.userSetText(kDataToWrite, many);
    transport.clearRecords();
    dlg.click(kSendToPci);
    EXPECT_EQ(transport.requests()[1].in.size(), 12u + 512u);
    EXPECT_EQ(transport.requests()[2].in, concat(le32({0, 0xA000, 4}), le32({512})));
}

TEST_F(MemoryFixture, DebugSendsTheTypedSubCodeAndSaysWhetherTheDriverTookIt) {
    const struct {
        const char* text;
        bool ok;
        std::uint32_t subCode;
        const char* line;
    } kCases[] = {
        {"0x0C", true, 12, "发送调试命令完成!"},
        {"12", true, 12, "发送调试命令完成!"},
        {"014", true, 12, "发送调试命令完成!"},
        {"abc", true, 0, "发送调试命令完成!"},
        {"0x2220c4", false, 0x2220c4, "发送调试命令失败!"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.text);
        transport.clearRecords();
        dlg.clearItems(kOutputList);
        transport.queueAnswer(driver::kAuxCommand, {.ok = c.ok});
        dlg.userSetText(kDebugNumber, c.text);
        dlg.click(kDebug);
        ASSERT_EQ(transport.count(), 1u);
        EXPECT_EQ(transport.requests()[0].in, le32({c.subCode, 0}));
        EXPECT_EQ(transport.requests()[0].outSize, 0u);
        EXPECT_THAT(lines(), ElementsAre(c.line));
    }
}

// A card whose bar 0 is memory paged by DSPP, so that a whole test runs.
struct PagedMemory {
    std::uint32_t page = 0;
    std::map<std::uint64_t, std::uint8_t> bytes;

    std::optional<testing::Answer> operator()(const testing::RecordedRequest& r) {
        const std::uint32_t bar = r.word(0), offset = r.word(1), length = r.word(2);
        const std::uint64_t base = std::uint64_t{page} << 22;
        if (r.code == driver::kWriteBytes && bar == 1 && offset == 0x41FFF8) page = r.word(3);
        if (r.code == driver::kWriteBytes && bar == 0) {
            for (std::uint32_t i = 0; i < length; ++i) bytes[base + offset + i] = r.in[12 + i];
        }
        if (r.code != driver::kReadBytes) return std::nullopt;
        Bytes out(length);
        for (std::uint32_t i = 0; i < length; ++i) out[i] = bytes[base + offset + i];
        return testing::Answer{.out = out};
    }
};

TEST_F(MemoryFixture, MemoryTestSendsItsRequestsInOrderEachAPieceAtMost) {
    transport.setHandler(PagedMemory{});
    dlg.click(kMemTest);
    const auto sent = transport.requests();
    ASSERT_EQ(sent.size(), 836u);
    EXPECT_EQ(host.sleptMs, 100);
    EXPECT_EQ(sent[0].code, driver::kWriteWords);
    EXPECT_EQ(sent[0].in, le32({1, 0x41FFF4, 1, 1}));
    EXPECT_EQ(sent[1].in, le32({1, 0, 9, 0x0005207C, 0xFFFFFFD3, 0xFFFFFFD3, 0, 0xFFFFFF23, 0xFFFFFF23, 0x57115000,
                                0x005DC5DC, 0x0003188B}));
    EXPECT_EQ(sent[2].in, le32({1, 0x44, 5, 2, 0x73, 0, 2, 2}));
    EXPECT_EQ(sent[3].in, concat(le32({1, 0x41FFF8, 4}), le32({0})));
    // On chip, each pattern: 256 writes over 256 KB, then 64 reads of the first 64 KB.
    for (std::size_t pass = 0; pass < 2; ++pass) {
        const std::size_t first = 4 + pass * 320;
        for (std::size_t i = 0; i < 256; ++i) {
            ASSERT_EQ(sent[first + i].code, driver::kWriteBytes);
            ASSERT_EQ(sent[first + i].in.size(), 12u + 1024u);
            ASSERT_EQ(sent[first + i].word(1), i * 1024);
        }
        for (std::size_t i = 0; i < 64; ++i) {
            ASSERT_EQ(sent[first + 256 + i].code, driver::kReadBytes);
            ASSERT_EQ(sent[first + 256 + i].in, le32({0, static_cast<std::uint32_t>(i * 1024), 1024}));
        }
    }
    // Outside, each pattern: page, one piece written at 0, read back at 0.
    for (std::size_t k = 0; k < 64; ++k) {
        const std::size_t at = 644 + 3 * k;
        ASSERT_EQ(sent[at].in, concat(le32({1, 0x41FFF8, 4}), le32({static_cast<std::uint32_t>(0x200 + k % 32)})));
        ASSERT_EQ(sent[at + 1].in.size(), 12u + 1024u);
        ASSERT_EQ(sent[at + 1].in[12], k < 32 ? 0xFF : 0x00);
        ASSERT_EQ(sent[at + 2].in, le32({0, 0, 1024}));
    }
    EXPECT_EQ(lines().size(), 7u);
    EXPECT_EQ(lines().back(), "内外存储器测试完成!         OK");
}

TEST_F(MemoryFixture, MemoryTestNeedsAnOpenDeviceAndOtherToolsDoNot) {
    dlg.click(kCloseDev);
    transport.clearRecords();
    dlg.clearItems(kOutputList);
    dlg.click(kMemTest);
    EXPECT_THAT(host.messages, ElementsAre("Device is not open, failed!"));
    EXPECT_EQ(transport.count(), 0u);
    // Read, Write, Debug and the sends go ahead and fail.
    setUp(1, "0", "8", "01");
    for (int id : {kRead, kWrite, kDebug, kSendToDsp}) dlg.click(id);
    EXPECT_EQ(transport.count(), 1u + 1u + 1u + 4u);
    EXPECT_THAT(lines(), ElementsAreArray({"Read:  Bar=1 Addr=0x00000000 ,Length=8 RCount=0",
                                           "Write: Bar=1 Addr=0x00000000 ,Length=8 RCount=0",
                                           "0x0000 01 00 00 00 00 00 00 00 ", "发送调试命令失败!",
                                           "Write: Bar=0 Addr=0x00000020 ,Length=1 RCount=0", "0x0000 01 "}));
}

}  // namespace
}  // namespace pemblor::memory
