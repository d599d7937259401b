#include <set>

#include "sim_test_support.hpp"

namespace pemblor::sim::test {
namespace {

using driver::DeviceHandle;

TEST(SimTransportOpen, OnlyTheExactPathOfAConfiguredCardOpens) {
    SimTransport t(SimSettings::withCards({0, 1, 31}));
    for (int n : {0, 1, 31}) EXPECT_TRUE(t.open(pathOf(n)).valid()) << n;
    for (const char* path : {"\\\\.\\KSVECWDM2", "\\\\.\\KSVECWDM32", "\\\\.\\ksvecwdm0", "\\\\.\\KSVECWDM00",
                             "\\\\.\\KSVECWDM01", "KSVECWDM0", "\\\\.\\KSVECWDM", "\\\\.\\KSVECWDM0 ",
                             "\\\\.\\KSVECWDM+1", "\\\\.\\KSVECWDM-0", "\\\\.\\KS-VECWDM0", "/dev/KSVECWDM0", ""}) {
        EXPECT_EQ(t.open(path), DeviceHandle::invalid()) << path;
    }
}

TEST(SimTransportOpen, HandlesAreUniqueAndCloseOnce) {
    SimTransport t(SimSettings::withCards({0, 1}));
    std::set<std::uint64_t> seen;
    std::vector<DeviceHandle> handles;
    for (int i = 0; i < 50; ++i) {
        const DeviceHandle h = t.open(pathOf(i % 2));
        ASSERT_TRUE(h.valid());
        EXPECT_TRUE(seen.insert(h.value).second);
        handles.push_back(h);
    }
    for (DeviceHandle h : handles) EXPECT_TRUE(t.close(h));
    Bytes out(8);
    for (DeviceHandle h : handles) {
        EXPECT_FALSE(t.close(h));
        EXPECT_FALSE(t.control(h, driver::kDriverVersion, {}, out).ok);
    }
    EXPECT_FALSE(t.close(DeviceHandle::invalid()));
    EXPECT_FALSE(t.control(DeviceHandle::invalid(), driver::kDriverVersion, {}, out).ok);
    // A handle opened after the others were closed is still new.
    EXPECT_FALSE(seen.contains(t.open(pathOf(0)).value));
}

class SimIdentity : public SimCardTest {};

TEST_F(SimIdentity, DefaultsDependOnTheDeviceNumber) {
    start(SimSettings::withCards({0, 7}), 7);
    const Answer version = call(driver::kDriverVersion, {}, 8);
    ASSERT_TRUE(version.result.ok);
    EXPECT_EQ(version.result.bytes, 8u);
    EXPECT_EQ(wordAt(version.out, 0), 0x01070605u);

    const Answer hw = call(driver::kHardwareInfo, {}, 32);
    ASSERT_EQ(hw.result.bytes, 32u);
    EXPECT_EQ(wordAt(hw.out, 0), 0x00020801u);
    EXPECT_EQ(wordAt(hw.out, 1), 0x20260101u);
    const std::string serial = defaultSerial(7);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(hw.out.data() + 8)), serial);
    for (std::size_t i = 8 + serial.size(); i < 32; ++i) EXPECT_EQ(hw.out[i], 0) << i;

    const Answer slot = call(driver::kSlotInfo, {}, 16);
    ASSERT_EQ(slot.result.bytes, 16u);
    EXPECT_EQ(wordAt(slot.out, 3), defaultSlot(7));
    EXPECT_NE(defaultSlot(7), defaultSlot(0));
    EXPECT_NE(defaultSerial(7), defaultSerial(0));
}

TEST_F(SimIdentity, ConfiguredValuesAreAnsweredExactly) {
    startWith("[card 0]\nversion = 0x01070604\nhardware = 0xDEADBEEF 1\nserial = 0123456789ABCDEF\nslot = 0\n");
    EXPECT_EQ(wordAt(call(driver::kDriverVersion, {}, 8).out, 0), 0x01070604u);
    const Answer hw = call(driver::kHardwareInfo, {}, 32);
    EXPECT_EQ(wordAt(hw.out, 0), 0xDEADBEEFu);
    EXPECT_EQ(wordAt(hw.out, 1), 1u);
    // Sixteen characters fill the field: no NUL within it.
    EXPECT_EQ(std::string(hw.out.begin() + 8, hw.out.begin() + 24), "0123456789ABCDEF");
    EXPECT_EQ(wordAt(call(driver::kSlotInfo, {}, 16).out, 3), 0u);
}

TEST_F(SimIdentity, AreaTooSmallOrRecordPresentFails) {
    start(SimSettings::withCards({0}));
    EXPECT_FALSE(call(driver::kDriverVersion, {}, 7).result.ok);
    EXPECT_FALSE(call(driver::kHardwareInfo, {}, 31).result.ok);
    EXPECT_FALSE(call(driver::kSlotInfo, {}, 15).result.ok);
    EXPECT_FALSE(call(driver::kDriverVersion, words({0}), 8).result.ok);
    // A larger area gets the answer's own size; the rest is left alone.
    const Answer big = call(driver::kDriverVersion, {}, 12);
    EXPECT_EQ(big.result.bytes, 8u);
    EXPECT_EQ(wordAt(big.out, 2), 0xEEEEEEEEu);
}

class SimMapping : public SimCardTest {};

TEST_F(SimMapping, TokensResolveIntoAreasWithTheirSizes) {
    start(SimSettings::withCards({0, 1}));
    const Answer map = call(driver::kMapAddresses, {}, 64);
    ASSERT_TRUE(map.result.ok);
    ASSERT_EQ(map.result.bytes, 64u);
    const std::pair<std::uint32_t, std::size_t> expected[] = {
        {driver::kStreamAreaWord, kEncodedStreamAreaSize},
        {driver::kOriginalVideoAreaWord, 704u * 576 * 2},
        {driver::kPreviewSlotsWord, 4 * driver::kPreviewSlotSize},
        {driver::kFullPreviewWord, 704u * 576 * 2},
    };
    std::set<std::uint8_t*> bases;
    for (auto [word, size] : expected) {
        const std::uint32_t token = wordAt(map.out, word);
        EXPECT_NE(token, 0u);
        const auto span = transport_->area(handle_, token);
        EXPECT_EQ(span.size(), size) << "word " << word;
        bases.insert(span.data());
    }
    EXPECT_EQ(bases.size(), 4u);
    // What is written into an area stays there.
    auto stream = transport_->area(handle_, wordAt(map.out, 1));
    stream.back() = 0x5A;
    EXPECT_EQ(transport_->area(handle_, wordAt(map.out, 1)).back(), 0x5A);
    // Words that are no tokens, and tokens asked through another card, name nothing.
    EXPECT_TRUE(transport_->area(handle_, wordAt(map.out, 0)).empty());
    EXPECT_TRUE(transport_->area(handle_, 0).empty());
    const DeviceHandle other = transport_->open(pathOf(1));
    EXPECT_TRUE(transport_->area(other, wordAt(map.out, 1)).empty());
    EXPECT_TRUE(transport_->area(DeviceHandle::invalid(), wordAt(map.out, 1)).empty());
}

TEST_F(SimMapping, EachMappingHasNewTokensAndTheSameOtherWords) {
    start(SimSettings::withCards({0, 1}));
    const Answer a = call(driver::kMapAddresses, {}, 64);
    const Answer b = call(driver::kMapAddresses, {}, 64);
    const Answer c = call(driver::kMapAddresses, {}, 64, transport_->open(pathOf(1)));
    std::set<std::uint32_t> tokens;
    for (const Answer* m : {&a, &b, &c}) {
        for (std::uint32_t w : {1u, 5u, 9u, 13u}) tokens.insert(wordAt(m->out, w));
    }
    EXPECT_EQ(tokens.size(), 12u);
    for (std::size_t w = 0; w < 16; ++w) {
        if (w % 4 != 1) {
            EXPECT_EQ(wordAt(a.out, w), wordAt(b.out, w)) << w;
        }
    }
    // Both mappings of one card reach the same memory.
    EXPECT_EQ(transport_->area(handle_, wordAt(a.out, 5)).data(), transport_->area(handle_, wordAt(b.out, 5)).data());
}

TEST_F(SimMapping, UnmappingEndsExactlyThatMapping) {
    start(SimSettings::withCards({0}));
    const Answer a = call(driver::kMapAddresses, {}, 64);
    const Answer b = call(driver::kMapAddresses, {}, 64);
    Bytes altered = a.out;
    altered[0] ^= 1;
    EXPECT_FALSE(call(driver::kUnmapAddresses, altered, 0).result.ok);
    EXPECT_FALSE(call(driver::kUnmapAddresses, Bytes(64, 0), 0).result.ok);
    EXPECT_FALSE(call(driver::kUnmapAddresses, Bytes(a.out.begin(), a.out.begin() + 60), 0).result.ok);
    EXPECT_TRUE(call(driver::kUnmapAddresses, a.out, 0).result.ok);
    EXPECT_TRUE(transport_->area(handle_, wordAt(a.out, 1)).empty());
    EXPECT_FALSE(transport_->area(handle_, wordAt(b.out, 1)).empty());
    EXPECT_FALSE(call(driver::kUnmapAddresses, a.out, 0).result.ok);
}

TEST_F(SimMapping, ClosingTheHandleEndsItsMappings) {
    start(SimSettings::withCards({0}));
    const DeviceHandle second = transport_->open(pathOf(0));
    const Answer mine = call(driver::kMapAddresses, {}, 64);
    const Answer theirs = call(driver::kMapAddresses, {}, 64, second);
    ASSERT_TRUE(transport_->close(second));
    EXPECT_TRUE(transport_->area(handle_, wordAt(theirs.out, 13)).empty());
    EXPECT_FALSE(transport_->area(handle_, wordAt(mine.out, 13)).empty());
}

TEST_F(SimMapping, RefusedOrTooSmallFails) {
    startWith("[card 0]\nmap = refuse\n");
    const Answer refused = call(driver::kMapAddresses, {}, 64);
    EXPECT_FALSE(refused.result.ok);
    EXPECT_EQ(refused.result.bytes, 0u);
    const DeviceHandle card1 = transport_->open(pathOf(1));
    EXPECT_FALSE(call(driver::kMapAddresses, {}, 63, card1).result.ok);
    EXPECT_TRUE(call(driver::kMapAddresses, {}, 64, card1).result.ok);
}

TEST_F(SimMapping, LiveMappingsAreBounded) {
    start(SimSettings::withCards({0}));
    for (std::size_t i = 0; i < MappedAreas::kMaxMappings; ++i)
        ASSERT_TRUE(call(driver::kMapAddresses, {}, 64).result.ok);
    const Answer last = call(driver::kMapAddresses, {}, 64);
    EXPECT_FALSE(last.result.ok);
}

}  // namespace
}  // namespace pemblor::sim::test
