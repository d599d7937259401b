// The driver and identity groups: the card opens, its driver is recent
// enough, maps the areas and answers every information category whole; the
// card says the same about itself twice, its serial is printable, its slot known.
#include <array>

#include "common/printf_line.hpp"
#include "driver/card_identity.hpp"
#include "driver/request_codes.hpp"
#include "selftest/check_groups.hpp"

namespace pemblor::selftest {

namespace {

using common::printfLine;

std::string hex(std::uint32_t v) { return printfLine("0x%08X", v); }

Finding versionCheck(const driver::CardIdentity& id) {
    const std::string limit = ">= " + hex(driver::kMinimumDriverVersion);
    if (!id.versionAnswered) return fail("no answer", limit, "the driver does not answer the version request");
    if (!id.versionAccepted())
        return fail(hex(id.version), limit, "driver too old: the console refuses it; install a newer driver");
    return pass(hex(id.version), limit);
}

Finding mappingCheck(Run& run) {
    driver::DriverLink& link = run.link();
    const std::string limit = "4 areas";
    if (link.mapAddresses() == 0)
        return fail("refused", limit, "the driver refused the address mapping: nothing can be received");
    int areas = 0;
    for (std::uint32_t word : {driver::kStreamAreaWord, driver::kOriginalVideoAreaWord, driver::kPreviewSlotsWord,
                               driver::kFullPreviewWord}) {
        if (!link.mappedArea(word).empty()) ++areas;
    }
    if (areas != 4) return fail(printfLine("%d areas", areas), limit, "the mapping names areas the driver cannot show");
    run.card().mapped = true;
    return pass("4 areas", limit);
}

Finding infoCheck(driver::DriverLink& link) {
    const std::string limit = printfLine("%u bytes each", static_cast<unsigned>(driver::kInfoAnswerSize));
    std::array<std::uint8_t, driver::kInfoAnswerSize> answer{};
    std::uint32_t whole = 0;
    std::string firstShort;
    for (std::uint32_t c = 0; c < driver::kInfoCategoryCount; ++c) {
        const std::uint32_t bytes = link.deviceInfo(c, answer);
        if (bytes == driver::kInfoAnswerSize) {
            ++whole;
        } else if (firstShort.empty()) {
            firstShort = printfLine("category %X answered %u bytes", c, bytes);
        }
    }
    const std::string measured = printfLine("%u of %u categories", whole, driver::kInfoCategoryCount);
    if (whole == driver::kInfoCategoryCount) return pass(measured, limit);
    return fail(measured, limit, firstShort + ": the driver's information answers are incomplete");
}

Finding stableCheck(const driver::CardIdentity& a, const driver::CardIdentity& b) {
    const std::string limit = "the same twice";
    if (!a.hardwareAnswered || !b.hardwareAnswered)
        return fail("no answer", limit, "the driver does not answer the hardware request");
    const std::string measured = b.versionLine();
    if (a.version != b.version || a.hardware0 != b.hardware0 || a.hardware1 != b.hardware1 || a.serial != b.serial)
        return fail(a.versionLine() + " then " + measured, limit,
                    "the card's identity changed between two reads: a loose card or a failing bus");
    return pass(measured, limit);
}

Finding serialCheck(const driver::CardIdentity& id) {
    const std::string limit = "printable, not empty";
    if (id.serial.empty()) return fail("empty", limit, "the card has no serial number: its identity memory is blank");
    const std::string shown = id.printableSerial();
    if (shown != id.serial)
        return fail("\"" + shown + "\"", limit,
                    "the serial number holds unprintable bytes: its identity memory is damaged");
    return pass("\"" + shown + "\"", limit);
}

Finding slotCheck(const driver::CardIdentity& id) {
    if (!id.slotAnswered) return fail("no answer", "answered", "the driver does not say which bus slot holds the card");
    return pass(printfLine("slot %u", id.slot), "answered");
}

}  // namespace

bool openCard(Run& run) {
    CheckTable& table = run.table();
    table.devicePath = driver::DriverLink::devicePath(run.options().device);
    run.check("driver.open", "device opens", [&] {
        if (!run.link().openDevice(table.devicePath).valid())
            return fail("no device", "opens", "nothing opens at this device number: no card, or no driver for it");
        return pass(table.devicePath, "opens");
    });
    if (run.link().context().isOpen()) return true;
    table.notRun = table.devicePath + ": no such device";
    return false;
}

bool driverChecks(Run& run, driver::CardIdentity& identity) {
    identity = driver::CardIdentity::read(run.link());
    // A device that answers neither identity request is not this card's driver.
    if (!identity.versionAnswered && !identity.hardwareAnswered) {
        run.table().notRun = run.table().devicePath + ": opens, but does not answer as the card's driver";
        return false;
    }
    std::uint32_t state = 0;
    run.card().inService = run.link().dspState(state) && state == driver::kDspRunning;
    run.check("driver.version", "driver version at least 0x01070605", [&] { return versionCheck(identity); });
    run.check("driver.mapping", "address mapping", [&] { return mappingCheck(run); });
    run.check("driver.info", "every information category answers whole", [&] { return infoCheck(run.link()); });
    return true;
}

void identityChecks(Run& run, const driver::CardIdentity& first) {
    run.check("identity.stable", "version and hardware words the same twice",
              [&] { return stableCheck(first, driver::CardIdentity::read(run.link())); });
    run.check("identity.serial", "serial number printable", [&] { return serialCheck(first); });
    run.check("identity.slot", "bus slot as the driver says", [&] { return slotCheck(first); });
}

}  // namespace pemblor::selftest
