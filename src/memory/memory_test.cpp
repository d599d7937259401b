#include "memory/memory_test.hpp"

#include <algorithm>
#include <array>
#include <optional>

#include "common/printf_line.hpp"

namespace pemblor::memory {

using common::LineSink;
using driver::kDsppOffset;
using driver::kExternalFirstPage;
using driver::kHdcrOffset;
using driver::kMemoryBar;
using driver::kOnChipPage;
using driver::kRegisterBar;
using driver::writeWordBytes;

namespace {

constexpr std::uint32_t kResetValue = 1;
constexpr std::uint32_t kPageSize = 0x400000;  // what one DSPP page of bar 0 shows

// EMIFA set-up, written in two runs: GBLCTL, CECTL1, CECTL0, reserved, CECTL2,
// CECTL3, SDCTL, SDTIM, SDEXT from offset 0; CESEC1, CESEC0, reserved, CESEC2,
// CESEC3 from offset 0x44.
constexpr std::array<std::uint32_t, 9> kEmifaLow = {0x0005207C, 0xFFFFFFD3, 0xFFFFFFD3, 0x00000000, 0xFFFFFF23,
                                                    0xFFFFFF23, 0x57115000, 0x005DC5DC, 0x0003188B};
constexpr std::uint32_t kEmifaHighOffset = 0x44;
constexpr std::array<std::uint32_t, 5> kEmifaHigh = {0x00000002, 0x00000073, 0x00000000, 0x00000002, 0x00000002};

constexpr const char* kResetDone = "DSP复位完成!";
constexpr const char* kEmifaDone = "配置EMIFA完成!";
constexpr const char* kOnChipStart = "开始测试片内存储器......";
constexpr const char* kOnChipFailed = "片内存储器测试失败!         FAIL!";
constexpr const char* kOnChipPassed = "片内存储器测试通过!         OK";
constexpr const char* kExternalStart = "开始测试片外存储器......";
constexpr const char* kExternalFailed = "片外存储器测试失败!         FAIL!";
constexpr const char* kExternalPassed = "片外存储器测试通过!         OK";
constexpr const char* kAllPassed = "内外存储器测试完成!         OK";

using Piece = std::array<std::uint8_t, kTestPieceSize>;

class MemoryTest {
public:
    MemoryTest(driver::DriverLink& link, const LineSink& appendLine) : link_(link), appendLine_(appendLine) {}

    void reset(const std::function<void(int)>& sleep) {
        const std::array<std::uint32_t, 1> one{kResetValue};
        link_.writeWords(kRegisterBar, kHdcrOffset, one);
        appendLine_(kResetDone);
        sleep(kResetSettleMs);
    }

    void setUpEmifa() {
        link_.writeWords(kRegisterBar, 0, kEmifaLow);
        link_.writeWords(kRegisterBar, kEmifaHighOffset, kEmifaHigh);
        appendLine_(kEmifaDone);
    }

    void selectPage(std::uint32_t page) { writeWordBytes(link_, kRegisterBar, kDsppOffset, page); }

    void testOnChip(std::uint8_t pattern) {
        part_ = &result_.onChip;
        part_->tested = true;
        piece_.fill(pattern);
        for (std::uint32_t at = 0; at < kOnChipWritten; at += kTestPieceSize) link_.writeBytes(kMemoryBar, at, piece_);
        for (std::uint32_t at = 0; at < kOnChipChecked; at += kTestPieceSize) {
            if (const auto wrong = checkPiece(pattern, at, at)) {
                appendLine_(common::printfLine("Chip storage written %s failed! Location %dk Read Value%02X",
                                            patternName(pattern), static_cast<int>(at / kTestPieceSize), *wrong));
            }
        }
    }

    void testExternal(std::uint8_t pattern) {
        part_ = &result_.external;
        part_->tested = true;
        for (std::uint32_t i = 0; i < kExternalPagesTested; ++i) {
            selectPage(kExternalFirstPage + i);
            piece_.fill(pattern);
            link_.writeBytes(kMemoryBar, 0, piece_);
            // The number printed is the page index, not a count of megabytes.
            if (const auto wrong = checkPiece(pattern, 0, (kExternalFirstPage + i) * kPageSize)) {
                appendLine_(common::printfLine("Chip storage written %s failed! Location %dM Read Value%02X",
                                            patternName(pattern), static_cast<int>(i), *wrong));
            }
        }
    }

    bool failed() const { return failed_; }
    const MemoryTestResult& result() const { return result_; }

private:
    static const char* patternName(std::uint8_t pattern) { return pattern == 0xFF ? "FF" : "00"; }

    // Reads a piece back and returns the first wrong byte, if any. The buffer
    // holds the complement first, so a refused read can never look like the
    // pattern it was meant to return: it fails with the complement as its value.
    // dspAddress is where the piece lies in DSP address space.
    std::optional<unsigned> checkPiece(std::uint8_t pattern, std::uint32_t at, std::uint32_t dspAddress) {
        const auto complement = static_cast<std::uint8_t>(~pattern);
        piece_.fill(complement);
        ++part_->reads;
        if (link_.readBytes(kMemoryBar, at, piece_) != 0) {
            note({dspAddress, pattern, complement, true});
            return complement;
        }
        const auto wrong = std::find_if(piece_.begin(), piece_.end(), [&](std::uint8_t b) { return b != pattern; });
        if (wrong == piece_.end()) return std::nullopt;
        note({dspAddress + static_cast<std::uint32_t>(wrong - piece_.begin()), pattern, *wrong, false});
        return *wrong;
    }

    void note(const MemoryFault& fault) {
        failed_ = true;
        ++part_->bad;
        if (fault.refused) ++part_->refused;
        if (!part_->first) part_->first = fault;
    }

    driver::DriverLink& link_;
    const LineSink& appendLine_;
    Piece piece_{};
    bool failed_ = false;
    MemoryTestResult result_;
    MemoryPartResult* part_ = &result_.onChip;
};

}  // namespace

MemoryTestResult testMemory(driver::DriverLink& link, const std::function<void(int ms)>& sleep,
                            const LineSink& appendLine, AfterOnChipFailure after) {
    MemoryTest test(link, appendLine);
    test.reset(sleep);
    test.setUpEmifa();
    test.selectPage(kOnChipPage);
    appendLine(kOnChipStart);
    test.testOnChip(0xFF);
    test.testOnChip(0x00);
    const bool onChipFailed = test.failed();
    appendLine(onChipFailed ? kOnChipFailed : kOnChipPassed);
    if (onChipFailed && after == AfterOnChipFailure::kStop) return test.result();
    appendLine(kExternalStart);
    test.testExternal(0xFF);
    test.testExternal(0x00);
    if (!test.result().external.passed()) {
        appendLine(kExternalFailed);
    } else {
        appendLine(kExternalPassed);
        if (!onChipFailed) appendLine(kAllPassed);
    }
    return test.result();
}

bool runMemoryTest(driver::DriverLink& link, ui::Host& host, const LineSink& appendLine) {
    return testMemory(link, [&host](int ms) { host.sleep(ms); }, appendLine).passed();
}

}  // namespace pemblor::memory
