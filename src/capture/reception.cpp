#include "capture/reception.hpp"

#include <string>

#include "capture/receiver.hpp"
#include "resources/console_ids.hpp"
#include "resources/string_table.hpp"

namespace pemblor::capture {

namespace {

using namespace resources::console;

constexpr int kReceiveTimerMs = 40;
// The pause after a stop in the close sequence.
constexpr int kAfterStopMs = 100;

class ReceptionImpl final : public Reception {
public:
    explicit ReceptionImpl(ui::ConsoleSeam& console)
        : console_(console),
          receiver_(console.link(),
                    ReceptionHub::create(console.host(), [&console](std::string_view line) { console.appendLine(line); })) {
        ui::Dialog& d = console_.dialog();
        d.onClick(kRecvData, [this] { toggle(); });
        d.onClick(kSaveFile, [this] { hub().setSaving(console_.dialog().checked(kSaveFile)); });
        console_.onClosing([this] { return stopForClose(); });
        console_.onShutdown([this] { end(); });
    }

    ~ReceptionImpl() override { end(); }

    ReceptionHub& hub() override { return receiver_.hub(); }

private:
    void toggle() {
        if (console_.dialog().checked(kRecvData)) {
            start();
        } else {
            stop();
        }
    }

    // The close sequence's first step: reception stops before the card closes.
    bool stopForClose() {
        if (console_.dialog().checked(kRecvData)) {
            console_.dialog().setChecked(kRecvData, false);
            toggle();
            console_.host().sleep(kAfterStopMs);
        }
        if (common::read(hub().stats().receiving) != 0) {
            console_.message(resources::kStrStopRecvFirst);
            return false;
        }
        return true;
    }

    // The console ends: whatever runs stops, a thread held up is let go at
    // once with every file it is not writing finished, and the hub closes so
    // that such a thread touches nothing more when it comes back.
    void end() {
        if (receiver_.running()) {
            console_.dialog().setChecked(kRecvData, false);
            stop();
        }
        receiver_.end(packLocalTime(console_.host().now()));
    }

    void refuse(int stringId) {
        console_.message(stringId);
        console_.dialog().setChecked(kRecvData, false);
    }

    void start() {
        if (!console_.deviceOpen()) return refuse(resources::kStrDeviceNotOpen);
        ui::Host& host = console_.host();
        switch (receiver_.start(host.root(), console_.openDeviceNumber(), packLocalTime(host.now()))) {
            case Receiver::Start::kStarted: break;
            case Receiver::Start::kNoMapping: return refuse(resources::kStrMappingFailed);
            case Receiver::Start::kNoEvent:
                console_.messageText("Create event failed, cann't recv data!");
                console_.dialog().setChecked(kRecvData, false);
                return;
            case Receiver::Start::kOpenFailed:
                console_.messageText(receiver_.failedPath().string() +
                                     std::string(resources::loadString(resources::kStrOpenFileFailed)));
                return refuse(resources::kStrOpenFileFailedRecv);
        }
        host.setTimer(console_.dialog(), kReceiveTimer, kReceiveTimerMs);
    }

    void stop() {
        const ReceiveThread::Ended ended = receiver_.stop(packLocalTime(console_.host().now()));
        console_.host().killTimer(console_.dialog(), kReceiveTimer);
        if (ended == ReceiveThread::Ended::kBusy) {
            console_.appendLine("Recving thread is busy, its files are closed when it ends!");
        }
    }

    ui::ConsoleSeam& console_;
    Receiver receiver_;
};

}  // namespace

std::unique_ptr<Reception> attachReception(ui::ConsoleSeam& console) { return std::make_unique<ReceptionImpl>(console); }

}  // namespace pemblor::capture
