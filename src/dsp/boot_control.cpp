#include "dsp/boot_control.hpp"

#include <cstdint>

#include "common/printf_line.hpp"
#include "driver/dsp_poll.hpp"
#include "program/prepare.hpp"
#include "resources/console_ids.hpp"
#include "resources/string_table.hpp"

namespace pemblor::dsp {

namespace {

using namespace resources::console;

constexpr ui::LockedControl kLocked[] = {{kResetDsp, true, false}, {kLoadP, true, false}, {kInterDsp, true, false}};

class BootControl final : public ui::Subsystem {
public:
    BootControl(ui::ConsoleSeam& console, std::function<void()> channelsSwitchedOff)
        : console_(console), channelsSwitchedOff_(std::move(channelsSwitchedOff)) {
        ui::Dialog& d = console_.dialog();
        d.onClick(kResetDsp, [this] { guarded([this] { reset(); }); });
        d.onClick(kLoadP, [this] { guarded([this] { load(); }); });
        d.onClick(kInterDsp, [this] { guarded([this] { start(); }); });
        console_.addLockedControls(kLocked);
    }

private:
    template <typename Fn>
    void guarded(Fn&& fn) {
        if (!console_.deviceOpen()) {
            console_.message(resources::kStrDeviceNotOpen);
            return;
        }
        fn();
    }

    void reset() {
        if (!console_.link().resetDsp()) return;
        console_.appendLine("复位DSP完成        OK !!!");
        // The reset switches the card's channels off.
        channelsSwitchedOff_();
    }

    void load() {
        const std::optional<std::filesystem::path> chosen =
            console_.host().openFile({"IMG Files(*.img)|*.img|All Files(*.*)|*.*||", "IMG", "*.img"});
        if (!chosen) return;
        const std::optional<program::LoadImage> image = program::prepare(console_.host(), &console_.dialog(), *chosen);
        if (!image) return;
        console_.appendLine(common::printfLine("Load %s to DSP finished OK!!!", chosen->filename().string().c_str()));
        std::uint32_t index = 0;
        for (const program::LoadBlock& block : image->blocks()) {
            // The driver must take the whole record: header and data.
            const std::uint32_t expected = block.length() + 8;
            if (console_.link().loadBlock(index++, block.address, block.data) != expected) {
                console_.appendLine("ERROR!!!!!!");
            }
        }
    }

    void start() {
        driver::DriverLink& link = console_.link();
        if (!link.interruptDsp()) return;
        console_.appendLine("发中断到DSP完成    OK !!!");
        const std::optional<int> waits =
            driver::waitForDspRunning(link, kStartPolls, [this](int ms) { console_.host().sleep(ms); });
        if (!waits) {
            console_.message(resources::kStrDspNotRunning);
            return;
        }
        // Counted in waits, not measured: the operator sees the polling granularity.
        console_.appendLine(common::printfLine("DSP starting takes: %d ms", driver::kDspPollIntervalMs * *waits));
    }

    ui::ConsoleSeam& console_;
    std::function<void()> channelsSwitchedOff_;
};

}  // namespace

std::unique_ptr<ui::Subsystem> attachBootControl(ui::ConsoleSeam& console, std::function<void()> channelsSwitchedOff) {
    return std::make_unique<BootControl>(console, std::move(channelsSwitchedOff));
}

}  // namespace pemblor::dsp
