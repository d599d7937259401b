#include "dsp/debug_commands.hpp"

#include <array>
#include <cstdint>

#include "memory/card_registers.hpp"
#include "memory/data_to_write.hpp"
#include "memory/memory_access.hpp"
#include "memory/number_entry.hpp"
#include "memory/result_dump.hpp"
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

constexpr MessageArea kToDsp{0x0, 0x20, memory::kHdcrOffset, 2};
constexpr MessageArea kToPci{0xA000, 0xA020, memory::kRstsrcOffset, 8};

constexpr const char* kDebugSent = "发送调试命令完成!";
constexpr const char* kDebugFailed = "发送调试命令失败!";

class DebugCommands final : public app::Subsystem {
public:
    explicit DebugCommands(app::ConsoleSeam& console) : console_(console) {
        ui::Dialog& d = console_.dialog();
        d.onClick(kDebug, [this] { debug(); });
        d.onClick(kSendToDsp, [this] { send(kToDsp); });
        d.onClick(kSendToPci, [this] { send(kToPci); });
    }

private:
    void debug() {
        app::ConsoleState& s = console_.state();
        s.debugNumberText = console_.dialog().text(kDebugNumber);
        // Any sub-code goes to the driver as typed.
        const bool ok = console_.link().debugCommand(memory::parseTypedNumber(s.debugNumberText)).ok;
        console_.appendLine(ok ? kDebugSent : kDebugFailed);
    }

    // Page, message, count, doorbell, in this order; only the message write's
    // result is shown, and every step runs whatever the one before did.
    void send(const MessageArea& area) {
        driver::DriverLink& link = console_.link();
        memory::writeWordBytes(link, memory::kRegisterBar, memory::kDsppOffset, memory::kExternalFirstPage);
        buffer_.fill(0);
        const std::size_t n = memory::parseDataToWrite(console_.dialog().text(kDataToWrite), buffer_);
        const std::span<const std::uint8_t> message = std::span(buffer_).first(n);
        const std::uint32_t rcount = link.writeBytes(memory::kMemoryBar, area.messageOffset, message);
        memory::resultDump(memory::writeHeader(static_cast<int>(memory::kMemoryBar), area.messageOffset,
                                               static_cast<std::uint32_t>(n), rcount),
                           message, [this](std::string_view line) { console_.appendLine(line); });
        memory::writeWordBytes(link, memory::kMemoryBar, area.countOffset, static_cast<std::uint32_t>(n));
        memory::writeWordBytes(link, memory::kRegisterBar, area.doorbellOffset, area.doorbellValue);
    }

    app::ConsoleSeam& console_;
    memory::TransferBuffer buffer_{};
};

}  // namespace

std::unique_ptr<app::Subsystem> attachDebugCommands(app::ConsoleSeam& console) {
    return std::make_unique<DebugCommands>(console);
}

}  // namespace pemblor::dsp
