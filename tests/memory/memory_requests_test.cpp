// What Read, Write, the sends and the memory test put on the wire: the
// requests, records and output areas per address type, the limits, the order
// of the sends, the 836 requests of a memory test and the file dialogs.
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
    }

    // Sets the controls up, clicks, and returns the lines the click added.
    std::vector<std::string> run(int button, int type, const char* address, const char* length,
                                 const char* data = "") {
        dlg.select(kAddressType, type);
        dlg.userSetText(kAddress, address);
        dlg.userSetText(kLength, length);
        dlg.userSetText(kDataToWrite, data);
        transport.clearRecords();
        dlg.clearItems(kOutputList);
        dlg.click(button);
        std::vector<std::string> out;
        for (std::size_t i = 0; i < dlg.itemCount(kOutputList); ++i) out.emplace_back(dlg.item(kOutputList, i));
        return out;
    }
};

// Answers reads with bytes counting up from a start that names the request;
// sub-code 14 writes back over the first byte of the data it was handed.
std::optional<testing::Answer> answers(const testing::RecordedRequest& r) {
    if (r.code == driver::kAuxCommand && r.word(0) == 14) return testing::Answer{.out = {0xEE}, .bytes = 5};
    if (r.code != driver::kReadWords && r.code != driver::kAuxCommand) return std::nullopt;
    Bytes out(r.outSize);
    const auto start = static_cast<std::uint8_t>(r.code == driver::kReadWords ? 0x40 : r.word(0) * 16 + r.word(2));
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<std::uint8_t>(start + i);
    return testing::Answer{.out = out};
}

TEST_F(MemoryFixture, EachAddressTypeSendsItsRequestsWithItsLimits) {
    transport.setHandler(answers);
    // 128 registers fill all 2048 bytes of the transfer buffer.
    EXPECT_EQ(run(kRead, 5, "0", "0x200").size(), 1u + 128u);
    const Bytes data5{1, 2, 3, 0, 0};
    const struct {
        int button, type;
        const char *address, *length;
        std::vector<Bytes> records;  // of the requests sent, in order
        std::size_t outSize;         // of each
        const char *header, *last;   // first and last lines shown
    } kCases[] = {
        {kRead, 1, "0x0041FFF0 HSR", "20", {le32({1, 0x41FFF0, 5})}, 20,
         "Read:  Bar=1 Addr=0x0041FFF0 ,Length=20 RCount=20", "0x0010 50 51 52 53 "},
        {kRead, 0, "0x900000", "0x1000", {le32({0, 0x800000, 128})}, 512,
         "Read:  Bar=0 Addr=0x00800000 ,Length=512 RCount=512",
         "0x01F0 30 31 32 33 34 35 36 37 38 39 3A 3B 3C 3D 3E 3F "},
        {kRead, 0, "0", "3", {le32({0, 0, 0})}, 0, "Read:  Bar=0 Addr=0x00000000 ,Length=3 RCount=0",
         "Read:  Bar=0 Addr=0x00000000 ,Length=3 RCount=0"},
        {kRead, 3, "0x900000", "2", {le32({13, 0x800000})}, 2, "Read:  Bar=3 Addr=0x00800000 ,Length=2 RCount=2",
         "0x0000 D0 D1 "},
        // The DSP address field and physical memory keep their address on Read.
        {kRead, 4, "0x900000", "2", {le32({10, 0x900000})}, 2, "Read:  Bar=4 Addr=0x00900000 ,Length=2 RCount=2",
         "0x0000 A0 A1 "},
        {kRead, 6, "0x12345678", "3", {le32({9, 0x12345678})}, 3, "Read:  Bar=6 Addr=0x12345678 ,Length=3 RCount=3",
         "0x0000 90 91 92 "},
        {kRead, 5, "0x10", "0x10", {le32({3, 0, 0x10}), le32({3, 0, 0x11}), le32({3, 0, 0x12}), le32({3, 0, 0x13})},
         16, "Read:  Bar=5 Addr=0x00000010 ,Length=16 RCount=64",
         "0x0030 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 51 52 "},
        // One register, 24 bytes shown: the 8 no request filled are zeros,
        // not what the 128-register read left there.
        {kRead, 5, "0", "6", {le32({3, 0, 0})}, 16, "Read:  Bar=5 Addr=0x00000000 ,Length=6 RCount=24",
         "0x0010 00 00 00 00 00 00 00 00 "},
        // Write: the typed length with zeros after the data, every address limited.
        {kWrite, 0, "0x900000", "5", {concat(le32({0, 0x800000, 5}), data5)}, 0,
         "Write: Bar=0 Addr=0x00800000 ,Length=5 RCount=0", "0x0000 01 02 03 00 00 "},
        {kWrite, 2, "8", "0x80", {concat(le32({2, 8, 4}), {1, 2, 3, 0})}, 0,  // the IO window takes four bytes
         "Write: Bar=2 Addr=0x00000008 ,Length=4 RCount=0", "0x0000 01 02 03 00 "},
        {kWrite, 3, "0x900000", "5", {le32({14, 0x800000})}, 5, "Write: Bar=3 Addr=0x00800000 ,Length=5 RCount=5",
         "0x0000 EE 02 03 00 00 "},  // what the driver wrote back
        {kWrite, 4, "0x900000", "5", {}, 0, "Write: Bar=4 Addr=0x00800000 ,Length=5 RCount=0",
         "0x0000 01 02 03 00 00 "},
        // One register whatever the length, its value the first four bytes.
        {kWrite, 5, "0x21", "0x10", {le32({4, 0, 0x21, 0x00030201})}, 0,
         "Write: Bar=5 Addr=0x00000021 ,Length=16 RCount=0",
         "0x0000 01 02 03 00 00 00 00 00 00 00 00 00 00 00 00 00 "},
        {kWrite, 6, "1", "0x1000", {}, 0, "Write: Bar=6 Addr=0x00000001 ,Length=512 RCount=0",
         "0x01F0 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 "},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.header);
        const auto out = run(c.button, c.type, c.address, c.length, "01 02 03");
        const auto sent = transport.requests();
        ASSERT_EQ(sent.size(), c.records.size());
        for (std::size_t i = 0; i < sent.size(); ++i) {
            EXPECT_EQ(sent[i].in, c.records[i]);
            EXPECT_EQ(sent[i].outSize, c.outSize);
            // Sub-code 14 carries its data in the output area.
            if (c.type == 3 && c.button == kWrite) {
                EXPECT_EQ(sent[i].outBefore, data5);
            }
        }
        EXPECT_EQ(out.front(), c.header);
        EXPECT_EQ(out.back(), c.last);
        // Read scrolls its last line to the top; Write does not scroll.
        EXPECT_EQ(dlg.topIndex(kOutputList), c.button == kRead ? static_cast<int>(out.size()) - 1 : 0);
    }
}

TEST_F(MemoryFixture, SendsWritePageMessageCountAndDoorbellInOrder) {
    const auto sends = [&](int button, const char* data) {
        run(button, 1, "0", "0", data);
        std::vector<Bytes> records;
        for (const auto& r : transport.requests()) records.push_back(r.code == driver::kWriteBytes ? r.in : Bytes{});
        return records;
    };
    const Bytes eight{1, 2, 3, 4, 5, 6, 7, 8};
    const Bytes page = concat(le32({1, 0x41FFF8, 4}), le32({0x200}));
    EXPECT_THAT(sends(kSendToDsp, "01 02 03 04 05 06 07 08"),
                ElementsAre(page, concat(le32({0, 0x20, 8}), eight), concat(le32({0, 0, 4}), le32({8})),
                            concat(le32({1, 0x41FFF4, 4}), le32({2}))));
    EXPECT_THAT(sends(kSendToPci, "01 02 03 04 05 06 07 08"),
                ElementsAre(page, concat(le32({0, 0xA020, 8}), eight), concat(le32({0, 0xA000, 4}), le32({8})),
                            concat(le32({1, 0x400000, 4}), le32({8}))));
    // Nothing typed: a message of no bytes, a count of 0, the doorbell all the same.
    EXPECT_THAT(sends(kSendToDsp, ""), ElementsAre(page, le32({0, 0x20, 0}), concat(le32({0, 0, 4}), le32({0})),
                                                   concat(le32({1, 0x41FFF4, 4}), le32({2}))));
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
    EXPECT_EQ(run(kMemTest, 1, "0", "0").size(), 7u);
    EXPECT_EQ(host.sleptMs, 100);
    // (code, start of the record) of every request, in order.
    std::vector<std::pair<std::uint32_t, Bytes>> want = {
        {driver::kWriteWords, le32({1, 0x41FFF4, 1, 1})},
        {driver::kWriteWords, le32({1, 0, 9, 0x0005207C, 0xFFFFFFD3, 0xFFFFFFD3, 0, 0xFFFFFF23, 0xFFFFFF23,
                                    0x57115000, 0x005DC5DC, 0x0003188B})},
        {driver::kWriteWords, le32({1, 0x44, 5, 2, 0x73, 0, 2, 2})},
        {driver::kWriteBytes, concat(le32({1, 0x41FFF8, 4}), le32({0}))}};
    for (int pass = 0; pass < 2; ++pass) {
        for (std::uint32_t at = 0; at < 0x40000; at += 1024) want.emplace_back(driver::kWriteBytes, le32({0, at, 1024}));
        for (std::uint32_t at = 0; at < 0x10000; at += 1024) want.emplace_back(driver::kReadBytes, le32({0, at, 1024}));
    }
    for (std::uint32_t k = 0; k < 64; ++k) {
        want.emplace_back(driver::kWriteBytes, concat(le32({1, 0x41FFF8, 4}), le32({0x200 + k % 32})));
        want.emplace_back(driver::kWriteBytes, le32({0, 0, 1024}));
        want.emplace_back(driver::kReadBytes, le32({0, 0, 1024}));
    }
    const auto sent = transport.requests();
    ASSERT_EQ(sent.size(), 836u);
    for (std::size_t i = 0; i < sent.size(); ++i) {
        const Bytes& w = want[i].second;
        ASSERT_EQ(sent[i].code, want[i].first) << i;
        ASSERT_TRUE(sent[i].in.size() >= w.size() && std::equal(w.begin(), w.end(), sent[i].in.begin()))
            << i;
        ASSERT_LE(sent[i].in.size() + sent[i].outSize, 12u + 1024u) << i;
    }
}

TEST_F(MemoryFixture, FileDialogsOfferCmdFiles) {
    dlg.click(kSave);
    dlg.click(kLoad);
    ASSERT_EQ(host.fileRequests.size(), 2u);
    for (const ui::FileRequest& r : host.fileRequests) {
        EXPECT_EQ(r.filter, "CMD Files(*.cmd)|*.cmd|All Files(*.*)|*.*||");
        EXPECT_EQ(r.defaultExtension, "CMD");
        EXPECT_EQ(r.initialName, "*.cmd");
    }
}

}  // namespace
}  // namespace pemblor::memory
