#include "tools/report.hpp"

#include <array>
#include <string>
#include <system_error>

#include "common/data_root.hpp"
#include "common/printf_line.hpp"
#include "driver/card_identity.hpp"
#include "driver/info_dump.hpp"
#include "driver/request_codes.hpp"
#include "resources/console_ids.hpp"
#include "resources/string_table.hpp"
#include "tools/report_log.hpp"

namespace pemblor::tools {

namespace {

using namespace resources::console;

constexpr std::size_t kInfoBufferSize = driver::kInfoAnswerSize;

class ReportImpl final : public Report {
public:
    ReportImpl(ui::ConsoleSeam& console, ReportOptions options, std::vector<ui::ReportSource*> sources)
        : console_(console), options_(std::move(options)), sources_(std::move(sources)) {
        ui::Dialog& d = console_.dialog();
        d.onClick(kShowAllInf, [this] { showAllInformation(); });
        d.onClick(kSaveLog, [this] { save(); });
        d.onClick(kEmailLabel, [this] { showEmail(); });
        d.setText(kEmailLabel, "Email:");
    }

    bool logSaveFailed() const override { return logSaveFailed_; }

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
        reportDevice(item, false);
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
        for (int n = 0; n < driver::kDeviceCount; ++n) {
            link.openDevice(driver::DriverLink::devicePath(n));
            if (!console_.deviceOpen()) continue;
            console_.openFollowUp(n);
            // No status tick has run for this device yet: its sources read it now.
            reportDevice(n, true);
            console_.closeSequence();
        }
        save();
        if (options_.savesLog) {
            console_.messageText("Please send file " + logPath().string() + " to Email: " + supportAddress(options_));
        }
    }

    // The report of the open device under item i of the device list.
    void reportDevice(int item, bool justOpened) {
        ui::Dialog& d = console_.dialog();
        const ui::LocalTime t = console_.host().now();
        const std::string name(d.item(kDevice, static_cast<std::size_t>(item)));
        console_.appendLine(common::printfLine("Dev ID: %s Current Time: %d.%d.%d %d:%d:%d", name.c_str(), t.year,
                                            t.month, t.day, t.hour, t.minute, t.second));
        const common::LineSink append = [this](std::string_view line) { console_.appendLine(line); };
        for (ui::ReportSource* source : sources_) source->reportLines(justOpened, append);
        // One buffer for all categories: a short or failed answer leaves the
        // bytes of the categories before it, which category 9's line may use.
        std::array<std::uint8_t, kInfoBufferSize> info{};
        for (std::uint32_t c = 0; c < driver::kInfoCategoryCount; ++c) {
            const std::uint32_t count = console_.link().deviceInfo(c, info);
            driver::appendCategoryDump(d.item(kCategory, c), c, info, count, append);
        }
    }

    std::filesystem::path logPath() {
        return common::mapConsolePath(console_.host().root(), std::string(kLogFileName));
    }

    // Appends the output list to the log file; false when it cannot be opened
    // or written.
    bool save() {
        if (!options_.savesLog) return true;
        const std::filesystem::path path = logPath();
        const LogSaveResult result = appendListToLog(console_.dialog(), kOutputList, path);
        if (result.outcome != LogSave::Saved) logSaveFailed_ = true;
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
        console_.dialog().setText(kEmailLabel, "Email: " + supportAddress(options_));
    }

    ui::ConsoleSeam& console_;
    ReportOptions options_;
    std::vector<ui::ReportSource*> sources_;
    bool logSaveFailed_ = false;
};

}  // namespace

std::string supportAddress(const ReportOptions& options) {
    return options.supportEmail.empty() ? std::string(kDefaultSupportEmail) : options.supportEmail;
}

std::unique_ptr<Report> attachReport(ui::ConsoleSeam& console, ReportOptions options,
                                     std::vector<ui::ReportSource*> sources) {
    return std::make_unique<ReportImpl>(console, std::move(options), std::move(sources));
}

}  // namespace pemblor::tools
