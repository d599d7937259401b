#include "selftest/self_test.hpp"

#include <chrono>

#include "selftest/check_groups.hpp"

namespace pemblor::selftest {

CheckTable runSelfTest(driver::Transport& transport, const Options& options, const Hooks& hooks) {
    Run run(transport, options, hooks);
    CheckTable& table = run.table();
    table.device = options.device;
    table.quick = options.quick;
    table.reboot = options.reboot;
    table.streamSeconds = options.seconds;
    table.program = options.program ? options.program->name : "sample program";
    table.started = std::time(nullptr);
    const auto start = std::chrono::steady_clock::now();
    if (openCard(run)) {
        driver::CardIdentity identity;
        if (driverChecks(run, identity)) {
            identityChecks(run, identity);
            memoryChecks(run);
            bootChecks(run);
            const std::optional<ReceptionEnd> reception = streamChecks(run);
            closeChecks(run, reception);
            if (reception && reception->ended != capture::ReceiveThread::Ended::kJoined)
                run.keepLinkForThreadLeftBehind();
        } else {
            run.link().closeDevice();  // not the card's driver: nothing to close but the handle
        }
    }
    table.finished = std::time(nullptr);
    table.elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return std::move(table);
}

}  // namespace pemblor::selftest
