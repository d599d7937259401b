#include "dsp/boot_control.hpp"

#include <cstdint>

#include "app/printf_line.hpp"
#include "dsp/prepare.hpp"
#include "resources/console_ids.hpp"
#include "resources/string_table.hpp"

namespace pemblor::dsp {

namespace {

using namespace resources::console;

constexpr int kChannelBoxCount = 8;  // 1047..1054

class BootControl final : public app::Subsystem {
public:
    explicit BootControl(app::ConsoleSeam& console) : console_(console) {
        ui::Dialog& d = console_.dialog();
        d.onClick(kResetDsp, [this] { guarded([this] { reset(); }); });
        d.onClick(kLoadP, [this] { guarded([this] { load(); }); });
        d.onClick(kInterDsp, [this] { guarded([this] { start(); }); });
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
        // The reset switches the card's channels off; the boxes say so without a request.
        for (int i = 0; i < kChannelBoxCount; ++i) console_.dialog().setChecked(kChannelSwitchFirst + i, false);
    }

    void load() {
        const std::optional<std::filesystem::path> chosen =
            console_.host().openFile({"IMG Files(*.img)|*.img|All Files(*.*)|*.*||", "IMG", "*.img"});
        if (!chosen) return;
        const std::optional<LoadImage> image = prepare(console_.host(), &console_.dialog(), *chosen);
        if (!image) return;
        console_.appendLine(app::printfLine("Load %s to DSP finished OK!!!", chosen->filename().string().c_str()));
        std::uint32_t index = 0;
        for (const LoadBlock& block : image->blocks()) {
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
        std::uint32_t state = 0;
        int waits = 0;
        for (;;) {
            if (link.dspState(state) && state == driver::kDspRunning) break;
            console_.host().sleep(kPollIntervalMs);
            if (++waits == kStartPolls) break;
        }
        if (state != driver::kDspRunning) {
            console_.message(resources::kStrDspNotRunning);
            return;
        }
        // Counted in waits, not measured: the operator sees the polling granularity.
        console_.appendLine(app::printfLine("DSP starting takes: %d ms", kPollIntervalMs * waits));
    }

    app::ConsoleSeam& console_;
};

}  // namespace

std::unique_ptr<app::Subsystem> attachBootControl(app::ConsoleSeam& console) {
    return std::make_unique<BootControl>(console);
}

}  // namespace pemblor::dsp
