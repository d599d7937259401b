// The close group: channels off, reception stopped with its files finished,
// the device closed as the console closes it, and the card still answering
// afterwards. It runs after a stop or a vanished card too, so the card is
// always left closed.
#include "common/printf_line.hpp"
#include "selftest/check_groups.hpp"

namespace pemblor::selftest {

namespace {

using common::printfLine;

constexpr const char* kChannels = "close.channels";
constexpr const char* kChannelsTitle = "channels off";
constexpr const char* kReception = "close.reception";
constexpr const char* kReceptionTitle = "reception stopped, files finished";

Finding channelsFinding(driver::DriverLink& link) {
    int answered = 0;
    for (std::uint32_t ch = 0; ch < 4; ++ch) {
        answered += link.switchChannel(ch, false) ? 1 : 0;
        answered += link.switchSubChannel(ch, false) ? 1 : 0;
    }
    const std::string measured = printfLine("%d of 8", answered);
    if (answered != 8)
        return fail(measured, "8 of 8", "the driver does not answer the channel switches: channels may stay on");
    return pass(measured, "8 of 8");
}

Finding receptionFinding(const ReceptionEnd& end) {
    const std::string measured = printfLine("%.0f ms", end.stopSeconds * 1000);
    switch (end.ended) {
        case capture::ReceiveThread::Ended::kJoined: return pass(measured, "thread ended");
        case capture::ReceiveThread::Ended::kParked:
            return fail(measured, "thread ended",
                        "the receive thread is held up in a driver request: the driver hangs");
        case capture::ReceiveThread::Ended::kBusy: break;
    }
    return fail(measured, "thread ended", "the receive thread is held up in a write: the data root's disk hangs");
}

Finding deviceFinding(Run& run) {
    driver::DriverLink& link = run.link();
    // Checked only while the card answers: a vanished card keeps nothing to take back.
    const bool askMapping = run.card().mapped && !run.vanished();
    link.unmapAddresses();
    const bool mappingKept = askMapping && !link.mappedArea(driver::kStreamAreaWord).empty();
    if (!link.closeDevice()) return fail("not closed", "closed", "the platform did not close the device");
    if (mappingKept) return fail("mapping kept", "closed", "the driver did not take the address mapping back");
    return pass("closed", "closed");
}

Finding answersFinding(Run& run) {
    driver::DriverLink& link = run.link();
    if (!link.openDevice(run.table().devicePath).valid())
        return fail("does not open", "answers", "the card no longer opens after the test: it vanished or hangs");
    std::array<std::uint8_t, 8> version{};
    const bool answered = link.driverVersion(version) != 0;
    std::uint32_t state = 0;
    const bool running = link.dspState(state) && state == driver::kDspRunning;
    link.closeDevice();
    if (!answered) return fail("no answer", "answers", "the card no longer answers after the test");
    // A card in service must be left running.
    if (run.card().inService && !running)
        return fail(printfLine("state %u", state), "running, as found",
                    "the card in service no longer runs its program");
    return pass(run.card().inService ? "answers, running" : "answers", "answers");
}

}  // namespace

void closeChecks(Run& run, const std::optional<ReceptionEnd>& reception) {
    if (!run.link().context().isOpen()) return;
    run.beginClose();
    if (run.card().inService)
        run.skip(kChannels, kChannelsTitle, "card in service: channels left on, as found");
    else if (run.vanished())
        run.skip(kChannels, kChannelsTitle, "the card vanished");
    else
        run.check(kChannels, kChannelsTitle, [&] { return channelsFinding(run.link()); });
    if (reception)
        run.check(kReception, kReceptionTitle, [&] { return receptionFinding(*reception); });
    else
        run.skip(kReception, kReceptionTitle, "reception did not run");
    run.check("close.device", "device closes", [&] { return deviceFinding(run); });
    run.check("close.answers", "the card still answers afterwards", [&] { return answersFinding(run); });
}

}  // namespace pemblor::selftest
