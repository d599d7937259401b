#include "device/connection.hpp"

#include <array>

#include "common/printf_line.hpp"
#include "driver/info_dump.hpp"
#include "resources/console_ids.hpp"
#include "resources/string_table.hpp"

namespace pemblor::device {

namespace {

using namespace resources::console;

constexpr std::size_t kInfoBufferSize = 256;  // 64 words
constexpr int kStatusTimerMs = 1000;

class ConnectionImpl final : public Connection {
public:
    ConnectionImpl(ui::ConsoleSeam& console, std::function<bool()> closingSteps)
        : console_(console), closingSteps_(std::move(closingSteps)), identityLine_(console.dialog().text(kVerInfLine)) {
        ui::Dialog& d = console_.dialog();
        d.onClick(kOpenDev, [this] { openDevice(); });
        d.onClick(kCloseDev, [this] { closeSequence(); });
        d.onClick(kDevInf, [this] { dumpDeviceInfo(); });
        // Added first, so it runs last: the card is left as a closed device would be.
        console_.onShutdown([this] { leaveClosed(); });
    }

    int openDeviceNumber() const override { return openDevice_; }

    void openFollowUp(int n) override {
        openDevice_ = n;
        ui::Dialog& d = console_.dialog();
        d.setText(kDeviceLine, common::printfLine("Open Dev%d", n));
        d.setEnabled(kOpenDev, false);
        d.setEnabled(kCloseDev, true);
        const driver::CardIdentity identity = driver::CardIdentity::read(console_.link());
        showIdentity(identity);
        if (!identity.versionAccepted()) {
            console_.message(resources::kStrDriverTooOld);
            closeSequence();
            return;
        }
        console_.appendLine(common::printfLine("Open Dev KSVECWDM%d OK !!! Slot ID:%d", n,
                                               static_cast<std::int32_t>(identity.slot)));
        if (console_.link().mapAddresses() == 0) console_.message(resources::kStrMappingFailed);
        console_.host().setTimer(d, kStatusTimer, kStatusTimerMs);
        statusTimerOn_ = true;
    }

    void closeSequence() override {
        if (!closingSteps_()) return;
        if (!console_.deviceOpen()) return;
        console_.host().killTimer(console_.dialog(), kStatusTimer);
        statusTimerOn_ = false;
        console_.link().unmapAddresses();
        console_.link().closeDevice();
        ui::Dialog& d = console_.dialog();
        d.setText(kDeviceLine, "Close Dev");
        d.setEnabled(kOpenDev, true);
        d.setEnabled(kCloseDev, false);
        openDevice_ = 0;
        console_.appendLine("Close device finished OK !!!");
    }

    void showIdentity(const driver::CardIdentity& identity) override {
        identityLine_ = identity.versionLine();
        console_.dialog().setText(kVerInfLine, identityLine_);
    }

    void reportLines(bool, const std::function<void(std::string_view)>& append) override {
        append("Version information: " + identityLine_);
    }

private:
    void openDevice() {
        const int n = console_.dialog().selection(kDevice);
        console_.link().openDevice(driver::DriverLink::devicePath(n));
        if (!console_.deviceOpen()) {
            console_.message(resources::kStrCannotOpenDevice);
            return;
        }
        console_.clearList();
        openFollowUp(n);
    }

    void dumpDeviceInfo() {
        if (!console_.deviceOpen()) {
            console_.message(resources::kStrDeviceNotOpen);
            return;
        }
        ui::Dialog& d = console_.dialog();
        const int c = d.selection(kCategory);
        std::array<std::uint8_t, kInfoBufferSize> info{};
        const std::uint32_t r = console_.link().deviceInfo(static_cast<std::uint32_t>(c), info);
        console_.clearList();
        driver::appendCategoryDump(d.selectedText(kCategory), static_cast<std::uint32_t>(c), info, r,
                                   [this](std::string_view line) { console_.appendLine(line); });
    }

    // The console ends: the mapping handed back and the handle closed, without the close sequence.
    void leaveClosed() {
        if (!console_.deviceOpen()) return;
        if (statusTimerOn_) console_.host().killTimer(console_.dialog(), kStatusTimer);
        statusTimerOn_ = false;
        console_.link().unmapAddresses();
        console_.link().closeDevice();
    }

    ui::ConsoleSeam& console_;
    std::function<bool()> closingSteps_;
    std::string identityLine_;
    int openDevice_ = 0;
    bool statusTimerOn_ = false;
};

}  // namespace

std::unique_ptr<Connection> attachConnection(ui::ConsoleSeam& console, std::function<bool()> closingSteps) {
    return std::make_unique<ConnectionImpl>(console, std::move(closingSteps));
}

}  // namespace pemblor::device
