#include "dsp/debug_commands.hpp"

#include <array>
#include <cstdint>

#include "driver/card_registers.hpp"
#include "common/data_to_write.hpp"
#include "common/number_entry.hpp"
#include "common/result_dump.hpp"
#include "resources/console_ids.hpp"

namespace pemblor::dsp {

namespace {

using namespace resources::console;

// One message area: where the message and its byte count go (bar 0, on the
// first external page), and the doorbell register and value (bar 1).
struct MessageArea {
    std::uint32_t countOffset;
    std::uint32_t messageOffset;
    std::uint32_t doorbellOffset;
    std::uint32_t doorbellValue;
};

constexpr MessageArea kToDsp{0x0, 0x20, driver::kHdcrOffset, 2};
constexpr MessageArea kToPci{0xA000, 0xA020, driver::kRstsrcOffset, 8};

constexpr const char* kDebugSent = "发送调试命令完成!";
constexpr const char* kDebugFailed = "发送调试命令失败!";

constexpr ui::LockedControl kLocked[] = {
    {kLabelDebugNumber, true, true}, {kDebugNumber, true, true}, {kSendToDsp, true, true},
    {kSendToPci, true, true},        {kDebug, true, true},
};

class DebugCommands final : public ui::Subsystem {
public:
    explicit DebugCommands(ui::ConsoleSeam& console) : console_(console) {
        ui::Dialog& d = console_.dialog();
        d.onClick(kDebug, [this] { debug(); });
        d.onClick(kSendToDsp, [this] { send(kToDsp); });
        d.onClick(kSendToPci, [this] { send(kToPci); });
        d.setText(kDebugNumber, "0x00");
        console_.addLockedControls(kLocked);
    }

private:
    void debug() {
        // Any sub-code goes to the driver as typed.
        const bool ok = console_.link().debugCommand(common::parseTypedNumber(console_.dialog().text(kDebugNumber))).ok;
        console_.appendLine(ok ? kDebugSent : kDebugFailed);
    }

    // Page, message, count, doorbell, in this order; only the message write's
    // result is shown, and every step runs whatever the one before did.
    void send(const MessageArea& area) {
        driver::DriverLink& link = console_.link();
        driver::writeWordBytes(link, driver::kRegisterBar, driver::kDsppOffset, driver::kExternalFirstPage);
        buffer_.fill(0);
        const std::size_t n = common::parseDataToWrite(console_.dialog().text(kDataToWrite), buffer_);
        const std::span<const std::uint8_t> message = std::span(buffer_).first(n);
        const std::uint32_t rcount = link.writeBytes(driver::kMemoryBar, area.messageOffset, message);
        common::resultDump(common::writeHeader(static_cast<int>(driver::kMemoryBar), area.messageOffset,
                                               static_cast<std::uint32_t>(n), rcount),
                           message, [this](std::string_view line) { console_.appendLine(line); });
        driver::writeWordBytes(link, driver::kMemoryBar, area.countOffset, static_cast<std::uint32_t>(n));
        driver::writeWordBytes(link, driver::kRegisterBar, area.doorbellOffset, area.doorbellValue);
    }

    ui::ConsoleSeam& console_;
    common::DataBuffer buffer_{};
};

}  // namespace

std::unique_ptr<ui::Subsystem> attachDebugCommands(ui::ConsoleSeam& console) {
    return std::make_unique<DebugCommands>(console);
}

}  // namespace pemblor::dsp
