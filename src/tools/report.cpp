#include "tools/report.hpp"

#include <array>
#include <string>
#include <system_error>

#include "app/data_root.hpp"
#include "app/info_dump.hpp"
#include "app/printf_line.hpp"
#include "app/status_monitor.hpp"
#include "resources/console_ids.hpp"
#include "resources/string_table.hpp"
#include "tools/report_log.hpp"

namespace pemblor::tools {

namespace {

using namespace resources::console;

constexpr int kDeviceCount = 32;
constexpr std::uint32_t kCategoryCount = 15;
constexpr std::size_t kInfoBufferSize = 256;

class Report final : public app::Subsystem {
public:
    explicit Report(app::ConsoleSeam& console) : console_(console) {
        ui::Dialog& d = console_.dialog();
        d.onClick(kShowAllInf, [this] { showAllInformation(); });
        d.onClick(kSaveLog, [this] { save(); });
        d.onClick(kEmailLabel, [this] { showEmail(); });
    }

private:
    void showAllInformation() {
        if (console_.dialog().checked(kAllDev)) {
            reportAllDevices();
            return;
        }
        if (!console_.deviceOpen()) {
            console_.message(resources::kStrDeviceNotOpen);
            return;
        }
        const int item = console_.dialog().selection(kDevice);
        console_.clearList();
        reportDevice(item);
        save();
    }

    void reportAllDevices() {
        // The device in use is closed first, as the close button would, so
        // that reception ends with its files finished and the mapping goes
        // back before the loop takes the handle over.
        if (console_.deviceOpen()) {
            console_.closeSequence();
            if (console_.deviceOpen()) return;  // reception would not stop; the close said so
        }
        console_.clearList();
        driver::DriverLink& link = console_.link();
        for (int n = 0; n < kDeviceCount; ++n) {
            link.openDevice(driver::DriverLink::devicePath(n));
            if (!console_.deviceOpen()) continue;
            console_.openFollowUp(n);
            // No status tick has run for this device yet: its driver counters
            // are read now, so that the report does not show another card's.
            std::array<std::uint8_t, app::kCounterAnswerSize> counters{};
            app::refreshDriverCounters(console_.dialog(), link, counters);
            reportDevice(n);
            console_.closeSequence();
        }
        save();
        if (console_.options().reportSavesLog) {
            console_.messageText("Please send file " + logPath().string() + " to Email: " +
                                 supportAddress(console_.options()));
        }
    }

    // The report of the open device under item i of the device list.
    void reportDevice(int item) {
        ui::Dialog& d = console_.dialog();
        const ui::LocalTime t = console_.host().now();
        const std::string name(d.item(kDevice, static_cast<std::size_t>(item)));
        console_.appendLine(app::printfLine("Dev ID: %s Current Time: %d.%d.%d %d:%d:%d", name.c_str(), t.year,
                                            t.month, t.day, t.hour, t.minute, t.second));
        console_.appendLine("Version information: " + d.text(kVerInfLine));
        console_.appendLine("NormalC: " + d.text(kNormalLine));
        console_.appendLine("ErrorC: " + d.text(kErrorLine));
        // One buffer for all categories: a short or failed answer leaves the
        // bytes of the categories before it, which category 9's line may use.
        std::array<std::uint8_t, kInfoBufferSize> info{};
        const memory::LineSink append = [this](std::string_view line) { console_.appendLine(line); };
        for (std::uint32_t c = 0; c < kCategoryCount; ++c) {
            const std::uint32_t count = console_.link().deviceInfo(c, info);
            app::appendCategoryDump(d.item(kCategory, c), c, info, count, append);
        }
    }

    std::filesystem::path logPath() {
        return app::mapConsolePath(console_.host().root(), std::string(kLogFileName));
    }

    // Appends the output list to the log file; false when it cannot be opened
    // or written.
    bool save() {
        if (!console_.options().reportSavesLog) return true;
        const std::filesystem::path path = logPath();
        const LogSaveResult result = appendListToLog(console_.dialog(), kOutputList, path);
        if (result.outcome != LogSave::Saved) console_.state().logSaveFailed = true;
        switch (result.outcome) {
            case LogSave::Saved: return true;
            case LogSave::OpenFailed:
                console_.messageText(path.string() +
                                     std::string(resources::loadString(resources::kStrOpenFileFailed)));
                return false;
            case LogSave::WriteFailed:
                console_.messageText(path.string() + "Write file failed! " +
                                     std::system_category().message(result.error));
                return false;
        }
        return false;
    }

    void showEmail() {
        const std::string text = "Email: " + supportAddress(console_.options());
        console_.state().emailText = text;
        console_.dialog().setText(kEmailLabel, text);
    }

    app::ConsoleSeam& console_;
};

}  // namespace

std::string supportAddress(const app::ConsoleOptions& options) {
    return options.supportEmail.empty() ? std::string(kDefaultSupportEmail) : options.supportEmail;
}

std::unique_ptr<app::Subsystem> attachReport(app::ConsoleSeam& console) { return std::make_unique<Report>(console); }

}  // namespace pemblor::tools
