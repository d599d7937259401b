#pragma once
// The six groups of checks, in the order a run takes them. Each records its
// rows on the run, skipping (with the reason) what an earlier finding makes
// meaningless.
#include <optional>

#include "capture/receive_thread.hpp"
#include "driver/card_identity.hpp"
#include "selftest/check_run.hpp"

namespace pemblor::selftest {

// driver.open; false (the table says why) when nothing opens.
bool openCard(Run& run);
// The rest of the driver group; false (the table says why) when the device
// does not answer as the card's driver. identity gets the first read.
bool driverChecks(Run& run, driver::CardIdentity& identity);
void identityChecks(Run& run, const driver::CardIdentity& first);
void memoryChecks(Run& run);
void bootChecks(Run& run);

// How reception ended, for the close group; nothing when it never started.
struct ReceptionEnd {
    capture::ReceiveThread::Ended ended = capture::ReceiveThread::Ended::kJoined;
    double stopSeconds = 0;
    bool filesFinished = false;
};
std::optional<ReceptionEnd> streamChecks(Run& run);

void closeChecks(Run& run, const std::optional<ReceptionEnd>& reception);

}  // namespace pemblor::selftest
