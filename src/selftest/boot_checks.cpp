// The boot group, the console's boot road as checks: reset, load with no
// refused block, interrupt, the DSP running within its time, DMA set, the
// channel switches answered. A card in service is left as it was found
// unless the run may reboot it.
#include "capture/dma_setup.hpp"
#include "common/printf_line.hpp"
#include "driver/dsp_poll.hpp"
#include "dsp/boot_control.hpp"
#include "selftest/check_groups.hpp"
#include "ui/host.hpp"

namespace pemblor::selftest {

namespace {

using common::printfLine;

constexpr const char* kRunning = "boot.running";
constexpr const char* kRunningTitle = "DSP running within its time";
constexpr const char* kDma = "boot.dma";
constexpr const char* kDmaTitle = "DSP clock and DMA set";
constexpr const char* kSwitches = "boot.switches";
constexpr const char* kSwitchesTitle = "channel switches answered";

Finding loadFinding(driver::DriverLink& link, const Program& program) {
    const std::string limit = "every block taken whole";
    std::uint32_t index = 0;
    std::uint32_t taken = 0;
    std::string firstShort;
    for (const program::LoadBlock& block : program.blocks) {
        const std::uint32_t expected = block.length() + 8;
        const std::uint32_t answer = link.loadBlock(index, block.address, block.data);
        if (answer == expected) {
            ++taken;
        } else if (firstShort.empty()) {
            firstShort = printfLine("block %u (%u bytes at 0x%08X) taken as %u bytes of %u", index, block.length(),
                                    block.address, answer, expected);
        }
        ++index;
    }
    const std::string measured = printfLine("%u of %u blocks", taken, index);
    if (index == 0) return fail(measured, limit, program.name + " has no load block");
    if (taken == index) return pass(measured, limit);
    return fail(measured, limit, firstShort + ": the driver does not take the program whole");
}

Finding runningFinding(Run& run) {
    const int limitMs = dsp::kStartPolls * driver::kDspPollIntervalMs;
    const std::string limit = printfLine("<= %d ms", limitMs);
    const auto waits = driver::waitForDspRunning(run.link(), dsp::kStartPolls, [&run](int ms) { run.sleep(ms); });
    if (!waits)
        return fail(
            "not running", limit,
            printfLine("the DSP did not run its program within %d ms: the DSP or the program is faulty", limitMs));
    run.card().running = true;
    return pass(printfLine("%d ms", *waits * driver::kDspPollIntervalMs), limit);
}

Finding dmaFinding(Run& run) {
    driver::DriverLink& link = run.link();
    const std::string limit = "clock, VADDR, OADDR, PADDR";
    if (!driver::waitForDspRunning(link, capture::kSetupPolls, [&run](int ms) { run.sleep(ms); }))
        return fail("not running", limit, "the DSP stopped running its program before the DMA set-up");
    const ui::LocalTime t = ui::systemLocalTime();
    const auto u = [](int v) { return static_cast<std::uint32_t>(v); };
    const char* refused = nullptr;
    if (!link.setDspTime({u(t.year), u(t.month), u(t.day), u(t.hour), u(t.minute), u(t.second)})) {
        refused = "SET_DSP_TIME";
    } else if (!link.setDmaVaddr()) {
        refused = "SET_DMA_VADDR";
    } else if (!link.setDmaOaddr()) {
        refused = "SET_DMA_OADDR";
    } else if (!link.setDmaPaddr().ok) {
        refused = "SET_DMA_PADDR";
    }
    if (refused)
        return fail(std::string(refused) + " refused", limit,
                    std::string(refused) + " refused: the card cannot deliver what it produces");
    run.card().dmaSet = true;
    return pass("all set", limit);
}

Finding switchesFinding(Run& run) {
    int answered = 0;
    for (std::uint32_t ch = 0; ch < 4; ++ch) {
        answered += run.link().switchChannel(ch, true) ? 1 : 0;
        answered += run.link().switchSubChannel(ch, true) ? 1 : 0;
    }
    const std::string measured = printfLine("%d of 8", answered);
    if (answered != 8)
        return fail(measured, "8 of 8", "the driver does not answer the channel switches: channels stay off");
    run.card().channelsOn = true;
    return pass(measured, "8 of 8");
}

void inService(Run& run) {
    const std::string left = "card in service: left as it was found";
    const std::string notRebooted = "card in service: not rebooted (--reboot to boot it)";
    run.skip("boot.reset", "DSP reset", notRebooted);
    run.skip("boot.load", "program loaded whole", notRebooted);
    run.skip("boot.interrupt", "interrupt answered", notRebooted);
    run.check(kRunning, kRunningTitle, [&] {
        std::uint32_t state = 0;
        if (!run.link().dspState(state) || state != driver::kDspRunning)
            return fail(printfLine("state %u", state), "state 21", "the card's program stopped running");
        // In service: its DMA is set and every channel on.
        CardState& card = run.card();
        card.running = card.dmaSet = card.channelsOn = true;
        return pass("running (in service)", "state 21");
    });
    run.skip(kDma, kDmaTitle, left);
    run.skip(kSwitches, kSwitchesTitle, left);
}

}  // namespace

void bootChecks(Run& run) {
    if (run.card().inService && !run.options().reboot) return inService(run);
    driver::DriverLink& link = run.link();
    const std::shared_ptr<const Program> program = run.options().program ? run.options().program : sampleProgram();
    run.check("boot.reset", "DSP reset", [&] {
        if (!link.resetDsp()) return fail("refused", "answered", "the driver refused the DSP reset");
        return pass("answered", "answered");
    });
    run.check("boot.load", "program loaded whole", [&] { return loadFinding(link, *program); });
    bool interrupted = false;
    run.check("boot.interrupt", "interrupt answered", [&] {
        interrupted = link.interruptDsp();
        if (!interrupted)
            return fail("refused", "answered", "the driver refused the interrupt: the program cannot start");
        return pass("answered", "answered");
    });
    if (interrupted)
        run.check(kRunning, kRunningTitle, [&] { return runningFinding(run); });
    else
        run.skip(kRunning, kRunningTitle, "the interrupt was refused");
    if (!run.card().running) {
        run.skip(kDma, kDmaTitle, "the DSP does not run its program");
        run.skip(kSwitches, kSwitchesTitle, "the DSP does not run its program");
        return;
    }
    run.check(kDma, kDmaTitle, [&] { return dmaFinding(run); });
    run.check(kSwitches, kSwitchesTitle, [&] { return switchesFinding(run); });
}

}  // namespace pemblor::selftest
