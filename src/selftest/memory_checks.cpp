// The memory group: the DSP memory test over on-chip and external memory,
// every pattern, every refused read a failure; and the three bar windows.
#include <array>

#include "common/printf_line.hpp"
#include "driver/card_registers.hpp"
#include "memory/memory_test.hpp"
#include "selftest/check_groups.hpp"

namespace pemblor::selftest {

namespace {

using common::printfLine;

constexpr const char* kOnChip = "memory.onchip";
constexpr const char* kOnChipTitle = "on-chip memory holds every pattern";
constexpr const char* kExternal = "memory.external";
constexpr const char* kExternalTitle = "external memory holds every pattern";

Finding partFinding(const memory::MemoryPartResult& part) {
    const std::string measured = printfLine("%u of %u reads bad", part.bad, part.reads);
    if (part.passed()) return pass(measured, "0 bad");
    if (!part.first) return fail(measured, "0 bad", "the memory was not read back");
    const memory::MemoryFault& f = *part.first;
    if (f.refused)
        return fail(measured, "0 bad",
                    printfLine("the read at 0x%08X was refused (%u refused in all): the memory window does not answer",
                               f.address, part.refused));
    return fail(
        measured, "0 bad",
        printfLine("byte 0x%08X reads %02X after writing %02X: stuck memory cell", f.address, f.read, f.written));
}

Finding barsFinding(driver::DriverLink& link) {
    std::array<std::uint32_t, 1> word{};
    int readable = 0;
    int firstDead = -1;
    for (std::uint32_t bar = 0; bar < 3; ++bar) {
        if (link.readWords(bar, 0, word) == sizeof word) {
            ++readable;
        } else if (firstDead < 0) {
            firstDead = static_cast<int>(bar);
        }
    }
    const std::string measured = printfLine("%d of 3 windows", readable);
    if (readable == 3) return pass(measured, "3 windows");
    return fail(measured, "3 windows",
                printfLine("bar %d does not answer a read: the card's window is not there", firstDead));
}

}  // namespace

void memoryChecks(Run& run) {
    const bool quick = run.options().quick;
    const bool spare = run.card().inService && !run.options().reboot;
    if (quick || spare) {
        const std::string reason = quick ? "quick run: no memory test"
                                         : "card in service: the memory test would reset it (--reboot to run it)";
        run.skip(kOnChip, kOnChipTitle, reason);
        run.skip(kExternal, kExternalTitle, reason);
    } else {
        memory::MemoryTestResult result;
        // Both parts run in one test; each row takes its share of the time.
        run.check(kOnChip, kOnChipTitle, [&] {
            result = memory::testMemory(
                run.link(), [&run](int ms) { run.sleep(ms); }, [](std::string_view) {},
                memory::AfterOnChipFailure::kTestExternal);
            return partFinding(result.onChip);
        });
        run.check(kExternal, kExternalTitle, [&] { return partFinding(result.external); });
        // The test reset the DSP: whatever ran before runs no more.
        run.card().running = false;
    }
    run.check("memory.bars", "bar windows readable", [&] { return barsFinding(run.link()); });
}

}  // namespace pemblor::selftest
